// Independent readings of written DNGs for the LibRaw tests: LibRaw's pixels and exiftool's verdict.
#pragma once

#include "programrun.h"

#include <libraw/libraw.h>

#include <cstdint>
#include <memory>
#include <vector>

namespace mlvtest {

// LibRaw's view of a DNG: "WIDTHxHEIGHT black B white W" and the CFA colours, then the pixels.
inline QString readDng(const QString& path, std::vector<std::uint16_t>& pixels)
{
    auto raw = std::make_unique<LibRaw>();
    if (raw->open_file(path.toLocal8Bit().constData()) != LIBRAW_SUCCESS || raw->unpack() != LIBRAW_SUCCESS
        || !raw->imgdata.rawdata.raw_image)
        return "LibRaw cannot read " + path;
    const auto& s = raw->imgdata.sizes;
    QString cfa;
    for (int i = 0; i < 4; ++i)
        cfa += QChar(raw->imgdata.idata.cdesc[raw->COLOR(i / 2, i % 2)]);
    pixels.clear();
    for (int y = 0; y < s.raw_height; ++y)
        pixels.insert(pixels.end(), raw->imgdata.rawdata.raw_image + y * s.raw_pitch / 2,
                      raw->imgdata.rawdata.raw_image + y * s.raw_pitch / 2 + s.raw_width);
    const QString warnings =
        raw->imgdata.process_warnings ? QString(" warnings %1").arg(raw->imgdata.process_warnings) : QString();
    return QString("%1x%2 black %3 white %4 %5")
               .arg(s.raw_width)
               .arg(s.raw_height)
               .arg(raw->imgdata.color.black + raw->imgdata.color.cblack[0])
               .arg(raw->imgdata.color.maximum)
               .arg(cfa)
           + warnings;
}

// exiftool's exit code is 0 on warnings, so its text is what counts: one "OK" per file and nothing else.
inline QString exiftoolProblems(const QStringList& files)
{
    const ProgramRun r =
        runProgram("exiftool", QStringList{"-q", "-s3", "-validate", "-warning", "-error", "-a"} + files);
    const QString text = r.out + r.err;
    return text == QString("OK\n").repeated(files.size()) ? QString() : text;
}

}  // namespace mlvtest
