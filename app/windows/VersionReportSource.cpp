#include "VersionReportSource.h"

#if __has_include("application/VersionReport.h")
#include "application/VersionReport.h"
#endif

#include <QFile>

namespace tessarin {

QString VersionReportSource::Current()
{
#if __has_include("application/VersionReport.h")
    return QFile::decodeName(QByteArray::fromStdString(VersionReport::Build()));
#else
    return QStringLiteral("(the version report is not available in this build)\r\n\r\n");
#endif
}

} // namespace tessarin
