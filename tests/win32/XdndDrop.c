/* Drops files on a window of another X client as a file manager does, by
 * the XDND protocol: the names go as a text/uri-list of file:// URIs.
 *   xdnd_drop WINDOW-NAME FILE...
 * Exits 0 once the target has finished the drop and accepted it. */
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/select.h>
#include <time.h>

static Display* display;
static Atom aware, enter, position, status, drop, finished, selection, uriList, copy;

static Window Find(Window from, const char* name)
{
    char* title = NULL;
    Atom type;
    int format;
    unsigned long count, left;
    unsigned char* data = NULL;
    if (XFetchName(display, from, &title) && title) {
        const int same = strcmp(title, name) == 0;
        XFree(title);
        if (same && XGetWindowProperty(display, from, aware, 0, 1, False, AnyPropertyType, &type, &format, &count,
                                       &left, &data) == Success && data) {
            XFree(data);
            return from;
        }
    }
    Window root, parent, *children = NULL;
    unsigned int n = 0;
    Window found = None;
    if (XQueryTree(display, from, &root, &parent, &children, &n)) {
        for (unsigned int i = 0; i < n && found == None; ++i) found = Find(children[i], name);
        if (children) XFree(children);
    }
    return found;
}

static void Send(Window target, Atom type, long l0, long l1, long l2, long l3, long l4)
{
    XEvent event;
    memset(&event, 0, sizeof(event));
    event.xclient.type = ClientMessage;
    event.xclient.window = target;
    event.xclient.message_type = type;
    event.xclient.format = 32;
    event.xclient.data.l[0] = l0;
    event.xclient.data.l[1] = l1;
    event.xclient.data.l[2] = l2;
    event.xclient.data.l[3] = l3;
    event.xclient.data.l[4] = l4;
    XSendEvent(display, target, False, NoEventMask, &event);
    XFlush(display);
}

static char* UriList(int count, char** names)
{
    size_t size = 1;
    for (int i = 0; i < count; ++i) size += 8 + 3 * strlen(names[i]) + 2;
    char* list = malloc(size);
    char* out = list;
    for (int i = 0; i < count; ++i) {
        out += sprintf(out, "file://");
        for (const unsigned char* c = (const unsigned char*)names[i]; *c; ++c) {
            if ((*c >= 'a' && *c <= 'z') || (*c >= 'A' && *c <= 'Z') || (*c >= '0' && *c <= '9') || strchr("/-._~", *c))
                *out++ = (char)*c;
            else
                out += sprintf(out, "%%%02X", *c);
        }
        out += sprintf(out, "\r\n");
    }
    *out = '\0';
    return list;
}

/* Answers the target's requests for the data; returns the client message
 * of type wanted for source, or a zeroed event after the time is up. */
static XEvent Await(Window source, Atom wanted, const char* list, double seconds)
{
    XEvent event;
    const time_t end = time(NULL) + (time_t)seconds + 1;
    while (time(NULL) < end) {
        if (!XPending(display)) {
            fd_set fds;
            FD_ZERO(&fds);
            FD_SET(ConnectionNumber(display), &fds);
            struct timeval wait = {0, 100000};
            select(ConnectionNumber(display) + 1, &fds, NULL, NULL, &wait);
            continue;
        }
        XNextEvent(display, &event);
        if (event.type == SelectionRequest) {
            XSelectionRequestEvent* request = &event.xselectionrequest;
            XEvent reply;
            memset(&reply, 0, sizeof(reply));
            reply.xselection.type = SelectionNotify;
            reply.xselection.requestor = request->requestor;
            reply.xselection.selection = request->selection;
            reply.xselection.target = request->target;
            reply.xselection.time = request->time;
            reply.xselection.property = None;
            if (request->target == uriList) {
                Atom property = request->property != None ? request->property : request->target;
                XChangeProperty(display, request->requestor, property, uriList, 8, PropModeReplace,
                                (const unsigned char*)list, (int)strlen(list));
                reply.xselection.property = property;
            }
            XSendEvent(display, request->requestor, False, NoEventMask, &reply);
            XFlush(display);
        } else if (event.type == ClientMessage && event.xclient.message_type == wanted &&
                   (Window)event.xclient.data.l[0] != source) {
            return event;
        }
    }
    memset(&event, 0, sizeof(event));
    return event;
}

int main(int argc, char** argv)
{
    if (argc < 3) {
        fprintf(stderr, "usage: xdnd_drop WINDOW-NAME FILE...\n");
        return 2;
    }
    display = XOpenDisplay(NULL);
    if (!display) {
        fprintf(stderr, "xdnd_drop: no display\n");
        return 1;
    }
    aware = XInternAtom(display, "XdndAware", False);
    enter = XInternAtom(display, "XdndEnter", False);
    position = XInternAtom(display, "XdndPosition", False);
    status = XInternAtom(display, "XdndStatus", False);
    drop = XInternAtom(display, "XdndDrop", False);
    finished = XInternAtom(display, "XdndFinished", False);
    selection = XInternAtom(display, "XdndSelection", False);
    uriList = XInternAtom(display, "text/uri-list", False);
    copy = XInternAtom(display, "XdndActionCopy", False);

    Window target = None;
    for (int tries = 0; tries < 200 && target == None; ++tries) {
        target = Find(DefaultRootWindow(display), argv[1]);
        if (target == None) {
            struct timespec pause = {0, 100000000};
            nanosleep(&pause, NULL);
        }
    }
    if (target == None) {
        fprintf(stderr, "xdnd_drop: no window \"%s\" takes drops\n", argv[1]);
        return 1;
    }
    XWindowAttributes shape;
    XGetWindowAttributes(display, target, &shape);
    Window child;
    int x = 0, y = 0;
    XTranslateCoordinates(display, target, DefaultRootWindow(display), shape.width / 2, shape.height / 2, &x, &y,
                          &child);

    const Window source = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1, 1, 0, 0, 0);
    XSelectInput(display, source, PropertyChangeMask);
    XSetSelectionOwner(display, selection, source, CurrentTime);
    char* list = UriList(argc - 2, argv + 2);

    Send(target, enter, (long)source, 4L << 24, (long)uriList, 0, 0);
    Send(target, position, (long)source, 0, ((long)x << 16) | y, CurrentTime, (long)copy);
    XEvent answer = Await(source, status, list, 10);
    if (answer.type != ClientMessage || !(answer.xclient.data.l[1] & 1)) {
        fprintf(stderr, "xdnd_drop: the window refused the drop\n");
        return 1;
    }
    Send(target, drop, (long)source, 0, CurrentTime, 0, 0);
    answer = Await(source, finished, list, 30);
    if (answer.type != ClientMessage) {
        fprintf(stderr, "xdnd_drop: the drop was not finished\n");
        return 1;
    }
    free(list);
    XCloseDisplay(display);
    return 0;
}
