// Shared by the whole-conversion tests: runs mlv2dng, reads its DNGs back through LibRaw, asks exiftool.
#pragma once

#include <libraw/libraw.h>

#include <QProcess>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <vector>

namespace mlvtest {

struct Run
{
    int exitCode = -1;
    QString out;
    QString err;
};

inline Run runConverter(const QStringList& arguments)
{
    QProcess process;
    process.start(QStringLiteral(MLV2DNG_PATH), arguments);
    process.waitForFinished(60000);
    Run run;
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

struct Readback
{
    QString error;
    int width = 0, height = 0;
    unsigned black = 0, white = 0;
    QString cfa;  // colours of the 2x2 repeat, row by row
    std::vector<std::uint16_t> pixels;
};

inline Readback readDng(const QString& path)
{
    Readback r;
    auto raw = std::make_unique<LibRaw>();
    if (raw->open_file(path.toLocal8Bit().constData()) != LIBRAW_SUCCESS || raw->unpack() != LIBRAW_SUCCESS) {
        r.error = "LibRaw cannot read " + path;
        return r;
    }
    const auto& sizes = raw->imgdata.sizes;
    r.width = sizes.raw_width;
    r.height = sizes.raw_height;
    r.black = raw->imgdata.color.black + raw->imgdata.color.cblack[0];
    r.white = raw->imgdata.color.maximum;
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 2; ++x)
            r.cfa += QChar(raw->imgdata.idata.cdesc[raw->COLOR(y, x)]);
    }
    const std::uint16_t* image = raw->imgdata.rawdata.raw_image;
    if (!image) {
        r.error = "no raw image in " + path;
        return r;
    }
    const std::size_t pitch = sizes.raw_pitch / 2;
    for (int y = 0; y < r.height; ++y)
        r.pixels.insert(r.pixels.end(), image + y * pitch, image + y * pitch + r.width);
    return r;
}

// exiftool's exit code is 0 on warnings, so its text is what counts.
inline QString exiftoolProblems(const QStringList& files)
{
    QProcess exiftool;
    exiftool.start("exiftool", QStringList{"-validate", "-warning", "-error", "-a"} + files);
    if (!exiftool.waitForFinished(60000))
        return "exiftool did not finish";
    const QString text = QString::fromUtf8(exiftool.readAllStandardOutput() + exiftool.readAllStandardError());
    QStringList problems;
    int valid = 0;
    for (const QString& line : text.split('\n', Qt::SkipEmptyParts)) {
        if (line.startsWith("Validate") && line.section(':', 1).trimmed() == "OK")
            ++valid;
        else if (!line.startsWith("========") && !line.contains("image files read"))
            problems << line;
    }
    if (valid != files.size())
        problems << QString("%1 of %2 files validated").arg(valid).arg(files.size());
    return problems.join('\n');
}

inline QString exifValue(const QString& file, const QString& tag)
{
    QProcess exiftool;
    exiftool.start("exiftool", {"-s3", "-n", "-" + tag, file});
    exiftool.waitForFinished(60000);
    return QString::fromUtf8(exiftool.readAllStandardOutput()).trimmed();
}

}  // namespace mlvtest
