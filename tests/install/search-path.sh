#!/bin/bash
# Every program and library passed names no empty entry in its library
# search path: the loader reads one as the current folder, so a library
# planted in the folder a user works in would be loaded.
status=0
for file in "$@"; do
    path=$(readelf -d "$file" | sed -n 's/.*R\(UN\)\{0,1\}PATH).*\[\(.*\)\]/\2/p')
    [ -z "$path" ] && continue  # none at all
    case ":$path:" in
    *::*) echo "$file: search path '$path' has an empty entry"; status=1 ;;
    esac
done
exit $status
