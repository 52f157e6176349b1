// Finds the mlv2dng that ships beside Korvalin's programs, for a first start that works untouched.
#pragma once

#include <QString>

namespace BundledConverter {

// "mlv2dng", or "mlv2dng.exe" on Windows.
QString FileName();

// The converter's path inside the folder when such a file exists there, else empty.
QString FindIn(const QString& folder);

// The converter beside the running program (QCoreApplication::applicationDirPath), else empty.
QString BesideProgram();

}  // namespace BundledConverter
