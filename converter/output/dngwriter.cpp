#include "output/dngwriter.h"

#include "output/asshotneutral.h"
#include "output/bitpacker.h"
#include "output/cameracalibration.h"
#include "output/civiltime.h"
#include "output/sensorsampling.h"
#include "output/tiffdirectory.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <optional>

namespace mlv2dng {

namespace {

enum Tag : std::uint16_t {
    NewSubFileType = 254,
    ImageWidth = 256,
    ImageLength = 257,
    BitsPerSample = 258,
    Compression = 259,
    Photometric = 262,
    ImageDescription = 270,
    Make = 271,
    Model = 272,
    StripOffsets = 273,
    Orientation = 274,
    SamplesPerPixel = 277,
    RowsPerStrip = 278,
    StripByteCounts = 279,
    PlanarConfiguration = 284,
    Software = 305,
    DateTime = 306,
    CfaRepeatPatternDim = 33421,
    CfaPattern = 33422,
    ExifIfd = 34665,
    DngVersion = 50706,
    DngBackwardVersion = 50707,
    UniqueCameraModel = 50708,
    BlackLevel = 50714,
    WhiteLevel = 50717,
    DefaultScale = 50718,
    DefaultCropOrigin = 50719,
    DefaultCropSize = 50720,
    ColorMatrix1 = 50721,
    ColorMatrix2 = 50722,
    AsShotNeutral = 50728,
    BaselineExposure = 50730,
    CameraSerialNumber = 50735,
    CalibrationIlluminant1 = 50778,
    CalibrationIlluminant2 = 50779,
    ActiveArea = 50829,
    ForwardMatrix1 = 50964,
    ForwardMatrix2 = 50965,
    TimeCodes = 51043,
    FrameRate = 51044,
    ReelName = 51081,
    ExposureTime = 33434,
    FNumber = 33437,
    IsoSpeed = 34855,
    SensitivityType = 34864,
    ExifVersion = 36864,
    SubjectDistance = 37382,
    FocalLength = 37386,
    FocalPlaneXResolution = 41486,
    FocalPlaneYResolution = 41487,
    FocalPlaneResolutionUnit = 41488,
    LensModel = 42036,
};

constexpr std::uint16_t kPhotometricCfa = 32803;
constexpr std::uint16_t kCompressionLosslessJpeg = 7;
constexpr std::uint16_t kIlluminantA = 17;
constexpr std::uint16_t kIlluminantD65 = 21;
constexpr std::uint16_t kSensitivityIsoSpeed = 3;
constexpr std::uint16_t kUnitInch = 2;

std::pair<std::uint32_t, std::uint32_t> reduced(std::uint64_t numerator, std::uint64_t denominator)
{
    const std::uint64_t divisor = std::gcd(numerator, denominator);
    if (divisor > 1) {
        numerator /= divisor;
        denominator /= divisor;
    }
    while (numerator > 0xffffffffu || denominator > 0xffffffffu) {
        numerator >>= 1;
        denominator >>= 1;
    }
    return {static_cast<std::uint32_t>(numerator), static_cast<std::uint32_t>(std::max<std::uint64_t>(denominator, 1))};
}

// A positive ratio as a rational with six decimal places, the precision a neutral needs.
std::pair<std::uint32_t, std::uint32_t> rational(double value)
{
    return reduced(static_cast<std::uint64_t>(std::llround(std::max(value, 0.0) * 1000000)), 1000000);
}

std::vector<std::pair<std::int32_t, std::int32_t>> srationals(const CameraCalibration::Matrix& matrix)
{
    std::vector<std::pair<std::int32_t, std::int32_t>> values;
    for (const std::int32_t value : matrix)
        values.emplace_back(value, CameraCalibration::kDenominator);
    return values;
}

ColourMatrix colourMatrix(const CameraCalibration::Matrix& matrix)
{
    ColourMatrix rationals;
    for (std::size_t i = 0; i < 9; ++i)
        rationals[i] = {matrix[i], CameraCalibration::kDenominator};
    return rationals;
}

const CameraCalibration* calibrationOf(const ClipMetadata& metadata)
{
    return metadata.camera.present ? CameraCalibration::find(metadata.camera.model) : nullptr;
}

std::uint8_t bcd(unsigned value)
{
    return static_cast<std::uint8_t>(((value / 10) << 4) | (value % 10));
}

std::string firstWord(const std::string& text)
{
    const std::size_t blank = text.find(' ');
    return blank == std::string::npos ? text : text.substr(0, blank);
}

}  // namespace

std::string DngWriter::frameDateTime(const ClockInfo& clock, std::uint64_t frameTimestamp)
{
    const std::optional<CivilTime> when = CivilTime::at(clock, frameTimestamp);
    if (!when || when->year() < 1 || when->year() > 9999)
        return {};
    return when->exifDateTime();
}

std::vector<std::uint8_t> DngWriter::timeCode(std::uint32_t frameNumber, std::uint32_t fpsNumerator,
                                              std::uint32_t fpsDenominator)
{
    const double fps = fpsDenominator ? static_cast<double>(fpsNumerator) / fpsDenominator : 0.0;
    const unsigned rate = std::max(1u, static_cast<unsigned>(std::lround(fps)));
    const unsigned frames = frameNumber % rate;
    const std::uint64_t seconds = frameNumber / rate;
    return {bcd(frames % 100),
            bcd(static_cast<unsigned>(seconds % 60)),
            bcd(static_cast<unsigned>(seconds / 60 % 60)),
            bcd(static_cast<unsigned>(seconds / 3600 % 24)),
            0,
            0,
            0,
            0};
}

DngStrip DngStrip::packed(const RawFrame& frame, int bitsPerSample)
{
    return DngStrip{bitsPerSample, false, BitPacker::stripBytes(frame.width, frame.height, bitsPerSample)};
}

std::vector<std::uint8_t> DngWriter::build(const RawFrame& frame, std::uint64_t frameTimestamp,
                                           const ClipMetadata& metadata) const
{
    const DngStrip strip = DngStrip::packed(frame, frame.bitsPerPixel);
    std::vector<std::uint8_t> out = header(frame, frameTimestamp, metadata, strip);
    const std::size_t stripOffset = out.size();
    out.resize(stripOffset + strip.bytes);
    BitPacker::pack(frame.pixels.data(), frame.width, frame.height, frame.bitsPerPixel, out.data() + stripOffset);
    return out;
}

std::vector<std::uint8_t> DngWriter::header(const RawFrame& frame, std::uint64_t frameTimestamp,
                                            const ClipMetadata& metadata, const DngStrip& strip) const
{
    TiffDirectory ifd;
    addImageTags(ifd, frame, strip);
    addCameraTags(ifd, metadata);
    addGeometryTags(ifd, frame, metadata);
    addColourTags(ifd, metadata);
    addTimeTags(ifd, frame, frameTimestamp, metadata);
    return layOut(ifd, exifDirectory(metadata));
}

void DngWriter::addImageTags(TiffDirectory& ifd, const RawFrame& frame, const DngStrip& strip) const
{
    const std::uint32_t height = static_cast<std::uint32_t>(frame.height);
    ifd.addLongs(NewSubFileType, {0});
    ifd.addLongs(ImageWidth, {static_cast<std::uint32_t>(frame.width)});
    ifd.addLongs(ImageLength, {height});
    ifd.addShorts(BitsPerSample, {static_cast<std::uint16_t>(strip.bitsPerSample)});
    ifd.addShorts(Compression, {static_cast<std::uint16_t>(strip.lossless ? kCompressionLosslessJpeg : 1)});
    ifd.addShorts(Photometric, {kPhotometricCfa});
    ifd.addLongs(StripOffsets, {0});  // placed by layOut(), once the header size is known
    ifd.addShorts(Orientation, {1});
    ifd.addShorts(SamplesPerPixel, {1});
    ifd.addLongs(RowsPerStrip, {height});
    ifd.addLongs(StripByteCounts, {static_cast<std::uint32_t>(strip.bytes)});
    ifd.addShorts(PlanarConfiguration, {1});
    ifd.addAscii(Software, mSoftware);
    ifd.addBytes(DngVersion, {1, 4, 0, 0});
    ifd.addBytes(DngBackwardVersion, {1, 1, 0, 0});
}

void DngWriter::addCameraTags(TiffDirectory& ifd, const ClipMetadata& metadata) const
{
    if (!metadata.info.empty())
        ifd.addAscii(ImageDescription, metadata.info);
    const std::string cameraName = metadata.camera.name.empty() ? "Unknown camera" : metadata.camera.name;
    ifd.addAscii(Make, metadata.camera.name.empty() ? "Unknown" : firstWord(cameraName));
    ifd.addAscii(Model, cameraName);
    const CameraCalibration* calibration = calibrationOf(metadata);
    ifd.addAscii(UniqueCameraModel, calibration ? std::string(calibration->uniqueName) : cameraName);
    if (!metadata.camera.serial.empty())
        ifd.addAscii(CameraSerialNumber, metadata.camera.serial);
}

void DngWriter::addGeometryTags(TiffDirectory& ifd, const RawFrame& frame, const ClipMetadata& metadata)
{
    const std::uint32_t width = static_cast<std::uint32_t>(frame.width);
    const std::uint32_t height = static_cast<std::uint32_t>(frame.height);
    ifd.addShorts(CfaRepeatPatternDim, {2, 2});
    ifd.addBytes(CfaPattern, {frame.cfa[0], frame.cfa[1], frame.cfa[2], frame.cfa[3]});
    ifd.addLongs(BlackLevel, {static_cast<std::uint32_t>(frame.blackLevel)});
    ifd.addLongs(WhiteLevel, {static_cast<std::uint32_t>(frame.whiteLevel)});

    if (const std::optional<SensorSampling> sampling = SensorSampling::of(metadata))
        ifd.addRationals(DefaultScale, {{1, 1},
                                        reduced(static_cast<std::uint64_t>(sampling->down),
                                                static_cast<std::uint64_t>(sampling->across))});
    else
        ifd.addRationals(DefaultScale, {{1, 1}, {1, 1}});

    // The recorded frame is the active area unless RAWI names a smaller one inside it.
    std::array<std::uint32_t, 4> area{0, 0, height, width};
    const auto& a = metadata.raw.activeArea;
    if (a[0] >= 0 && a[1] >= 0 && a[0] < a[2] && a[1] < a[3] && static_cast<std::uint32_t>(a[2]) <= height
        && static_cast<std::uint32_t>(a[3]) <= width)
        area = {static_cast<std::uint32_t>(a[0]), static_cast<std::uint32_t>(a[1]), static_cast<std::uint32_t>(a[2]),
                static_cast<std::uint32_t>(a[3])};
    ifd.addLongs(ActiveArea, {area[0], area[1], area[2], area[3]});
    ifd.addLongs(DefaultCropOrigin, {0, 0});
    ifd.addLongs(DefaultCropSize, {area[3] - area[1], area[2] - area[0]});
}

void DngWriter::addColourTags(TiffDirectory& ifd, const ClipMetadata& metadata)
{
    ifd.addSRationals(BaselineExposure, {{0, 1}});
    std::optional<ColourMatrix> matrixD65, matrixA;
    if (const CameraCalibration* calibration = calibrationOf(metadata)) {
        // The sensor's own two calibrations, between which readers blend by the scene's light.
        ifd.addSRationals(ColorMatrix1, srationals(calibration->colorMatrixA));
        ifd.addShorts(CalibrationIlluminant1, {kIlluminantA});
        ifd.addSRationals(ColorMatrix2, srationals(calibration->colorMatrixD65));
        ifd.addShorts(CalibrationIlluminant2, {kIlluminantD65});
        ifd.addSRationals(ForwardMatrix1, srationals(calibration->forwardMatrixA));
        ifd.addSRationals(ForwardMatrix2, srationals(calibration->forwardMatrixD65));
        matrixA = colourMatrix(calibration->colorMatrixA);
        matrixD65 = colourMatrix(calibration->colorMatrixD65);
    } else {
        // Magic Lantern records the camera's D65 matrix.
        matrixD65 = mlv2dng::AsShotNeutral::recordedMatrix(metadata.raw);
        std::vector<std::pair<std::int32_t, std::int32_t>> matrix;
        for (std::size_t i = 0; i < 9; ++i) {
            if (matrixD65)
                matrix.emplace_back((*matrixD65)[i]);
            else
                matrix.emplace_back(i % 4 == 0 ? 1 : 0, 1);
        }
        ifd.addSRationals(ColorMatrix1, matrix);
        ifd.addShorts(CalibrationIlluminant1, {kIlluminantD65});
    }

    const std::optional<std::array<double, 3>> neutral =
        mlv2dng::AsShotNeutral::fromLight(metadata.whiteBalance, matrixD65, matrixA);
    const WhiteBalanceInfo& wb = metadata.whiteBalance;
    if (neutral)
        ifd.addRationals(Tag::AsShotNeutral, {rational((*neutral)[0]), {1, 1}, rational((*neutral)[2])});
    else if (wb.present && wb.gainRed > 0 && wb.gainGreen > 0 && wb.gainBlue > 0)
        ifd.addRationals(Tag::AsShotNeutral,
                         {reduced(wb.gainRed, wb.gainGreen), {1, 1}, reduced(wb.gainBlue, wb.gainGreen)});
    else
        ifd.addRationals(Tag::AsShotNeutral, {{1, 1}, {1, 1}, {1, 1}});
}

void DngWriter::addTimeTags(TiffDirectory& ifd, const RawFrame& frame, std::uint64_t frameTimestamp,
                            const ClipMetadata& metadata)
{
    const std::string dateTime = frameDateTime(metadata.clock, frameTimestamp);
    if (!dateTime.empty())
        ifd.addAscii(DateTime, dateTime);
    ifd.addBytes(TimeCodes, timeCode(frame.frameNumber, metadata.header.fpsNumerator, metadata.header.fpsDenominator));
    if (metadata.header.fpsNumerator > 0 && metadata.header.fpsDenominator > 0
        && metadata.header.fpsNumerator <= 0x7fffffffu && metadata.header.fpsDenominator <= 0x7fffffffu)
        ifd.addSRationals(FrameRate, {{static_cast<std::int32_t>(metadata.header.fpsNumerator),
                                       static_cast<std::int32_t>(metadata.header.fpsDenominator)}});
    if (!metadata.reelName.empty())
        ifd.addAscii(ReelName, metadata.reelName);
}

TiffDirectory DngWriter::exifDirectory(const ClipMetadata& metadata)
{
    TiffDirectory exif;
    exif.addBytes(ExifVersion, {'0', '2', '3', '0'}, TiffDirectory::Undefined);
    if (metadata.exposure.present) {
        if (metadata.exposure.shutterMicroseconds > 0)
            exif.addRationals(ExposureTime, {reduced(metadata.exposure.shutterMicroseconds, 1000000)});
        if (metadata.exposure.iso > 0) {
            exif.addShorts(IsoSpeed,
                           {static_cast<std::uint16_t>(std::min<std::uint32_t>(metadata.exposure.iso, 65535))});
            exif.addShorts(SensitivityType, {kSensitivityIsoSpeed});
        }
    }
    // One recorded pixel spans as many sensor pixels as the mode samples, so its pitch is that much coarser.
    const CameraCalibration* calibration = calibrationOf(metadata);
    const std::optional<SensorSampling> sampling = SensorSampling::of(metadata);
    if (calibration && sampling) {
        const auto [xNumerator, xDenominator] = calibration->focalPlaneX;
        const auto [yNumerator, yDenominator] = calibration->focalPlaneY;
        exif.addRationals(
            FocalPlaneXResolution,
            {reduced(xNumerator, std::uint64_t(xDenominator) * static_cast<std::uint64_t>(sampling->across))});
        exif.addRationals(
            FocalPlaneYResolution,
            {reduced(yNumerator, std::uint64_t(yDenominator) * static_cast<std::uint64_t>(sampling->down))});
        exif.addShorts(FocalPlaneResolutionUnit, {kUnitInch});
    }
    const LensInfo& lens = metadata.lens;
    if (lens.present) {
        if (lens.apertureHundredths > 0)
            exif.addRationals(FNumber, {reduced(lens.apertureHundredths, 100)});
        if (lens.focusDistanceMm == 65535)
            exif.addRationals(SubjectDistance, {{0xffffffffu, 1}});  // infinity
        else if (lens.focusDistanceMm > 0)
            exif.addRationals(SubjectDistance, {reduced(lens.focusDistanceMm, 1000)});
        if (lens.focalLengthMm > 0)
            exif.addRationals(FocalLength, {{lens.focalLengthMm, 1}});
        if (!lens.name.empty())
            exif.addAscii(LensModel, lens.name);
    }
    return exif;
}

std::vector<std::uint8_t> DngWriter::layOut(TiffDirectory& ifd, const TiffDirectory& exif)
{
    ifd.addLongs(ExifIfd, {0});  // so that the directory's size counts it
    const std::uint32_t ifdOffset = 8;
    const std::uint32_t ifdValues = ifdOffset + static_cast<std::uint32_t>(ifd.directorySize());
    const std::uint32_t exifOffset = ifdValues + static_cast<std::uint32_t>(ifd.valueSize());
    const std::uint32_t exifValues = exifOffset + static_cast<std::uint32_t>(exif.directorySize());
    std::uint32_t stripOffset = exifValues + static_cast<std::uint32_t>(exif.valueSize());
    stripOffset += stripOffset & 1;
    ifd.addLongs(ExifIfd, {exifOffset});
    ifd.addLongs(StripOffsets, {stripOffset});

    std::vector<std::uint8_t> out(stripOffset, 0);
    out[0] = 'I';
    out[1] = 'I';
    out[2] = 42;
    out[4] = static_cast<std::uint8_t>(ifdOffset);
    ifd.write(out, ifdOffset, ifdValues);
    exif.write(out, exifOffset, exifValues);
    return out;
}

}  // namespace mlv2dng
