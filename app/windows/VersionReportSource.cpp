#include "VersionReportSource.h"

#include "application/VersionReport.h"

#include <QFile>

namespace tessarin {

QString VersionReportSource::Current()
{
    return QFile::decodeName(QByteArray::fromStdString(VersionReport::Build()));
}

} // namespace tessarin
