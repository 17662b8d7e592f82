// Times ResampleBitmap against QImage::scaled(SmoothTransformation) on Format_RGB32 and ImageMagick's
// "convert -filter Triangle -resize WxH!" (its time minus that of the same command without -resize),
// and LoadJpegIntoBitmap / SaveBitmapAsJpeg at quality 50 against djpeg and "cjpeg -quality 50", on
// one generated 12-megapixel photograph. Every peer runs on one thread, as ours does; each figure is
// the best of `runs` (default 5), all peers timed in turn within each run, so the ratios compare
// figures taken under the same load.
//
// ImageMagick is found as "magick", "convert-im6.q16" or "convert" (RIMO_CONVERT overrides).

#include "toolkit/images/bitmap.h"
#include "toolkit/images/jpegcodec.h"
#include "toolkit/images/resample.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThreadPool>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <random>
#include <vector>

namespace {

int g_runs = 5;

// The best time of each piece of work, timed in turn within every run so that all of them meet
// the same load on a shared machine.
std::vector<double> bestMsInTurn(const std::vector<std::function<void()>>& works)
{
    std::vector<double> best(works.size(), 1e300);
    for (int run = 0; run < g_runs; ++run) {
        for (std::size_t i = 0; i < works.size(); ++i) {
            QElapsedTimer timer;
            timer.start();
            works[i]();
            best[i] = std::min(best[i], static_cast<double>(timer.nsecsElapsed()) / 1e6);
        }
    }
    return best;
}

// Runs a command on one thread; clears `ok` when it fails.
std::function<void()> command(const QString& program, const QStringList& arguments, bool& ok)
{
    return [program, arguments, &ok] {
        if (program.isEmpty()) {
            ok = false;
            return;
        }
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("MAGICK_THREAD_LIMIT"), QStringLiteral("1"));
        env.insert(QStringLiteral("OMP_NUM_THREADS"), QStringLiteral("1"));
        process.setProcessEnvironment(env);
        process.setStandardOutputFile(QProcess::nullDevice());
        process.start(program, arguments);
        if (!process.waitForFinished(600000) || process.exitStatus() != QProcess::NormalExit ||
            process.exitCode() != 0) {
            std::fprintf(stderr, "%s failed: %s\n", qPrintable(program),
                         process.readAllStandardError().constData());
            ok = false;
        }
    };
}

// Something a JPEG coder treats like a photograph: smooth light, edges and fine grain.
rimo::Bitmap photograph(int width, int height)
{
    rimo::Bitmap bitmap(width, height);
    std::mt19937 random(12);
    std::normal_distribution<double> grain(0, 6);
    for (int y = 0; y < height; ++y) {
        std::uint8_t* p = bitmap.row(y);
        for (int x = 0; x < width; ++x, p += 3) {
            const double u = double(x) / width, v = double(y) / height;
            const double light = 0.5 + 0.5 * std::sin(u * 7.0 + std::cos(v * 5.0) * 2.0);
            const bool disc = (u - 0.6) * (u - 0.6) + (v - 0.4) * (v - 0.4) < 0.04;
            const double b = disc ? 40 : 200 * v + 30 * light;
            const double g = disc ? 150 : 120 * light + 60 * u;
            const double r = disc ? 220 : 90 + 100 * light * (1 - v);
            const double n = grain(random);
            p[0] = static_cast<std::uint8_t>(std::clamp(b + n, 0.0, 255.0));
            p[1] = static_cast<std::uint8_t>(std::clamp(g + n, 0.0, 255.0));
            p[2] = static_cast<std::uint8_t>(std::clamp(r + n, 0.0, 255.0));
        }
    }
    return bitmap;
}

void writeFile(const QString& path, const QByteArray& data)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size())
        qFatal("cannot write %s", qPrintable(path));
}

// A binary PPM (red, green, blue) of the bitmap, for the command-line tools.
QByteArray ppm(const rimo::Bitmap& bitmap)
{
    QByteArray data = QStringLiteral("P6\n%1 %2\n255\n").arg(bitmap.width()).arg(bitmap.height()).toLatin1();
    for (int y = 0; y < bitmap.height(); ++y) {
        const std::uint8_t* p = bitmap.row(y);
        for (int x = 0; x < bitmap.width(); ++x, p += 3) {
            data.append(static_cast<char>(p[2]))
                .append(static_cast<char>(p[1]))
                .append(static_cast<char>(p[0]));
        }
    }
    return data;
}

QString findConvert()
{
    const QString chosen = qEnvironmentVariable("RIMO_CONVERT");
    if (!chosen.isEmpty())
        return chosen;
    for (const char* name : {"magick", "convert-im6.q16", "convert"}) {
        const QString path = QStandardPaths::findExecutable(QString::fromLatin1(name));
        if (!path.isEmpty())
            return path;
    }
    return {};
}

void report(const char* what, double ours, double peer, const char* peerName, double megapixels)
{
    if (peer < 0) {
        std::printf("%-34s ours %8.2f ms (%7.1f MP/s)   %-16s unavailable\n", what, ours,
                    megapixels / ours * 1e3, peerName);
        return;
    }
    std::printf("%-34s ours %8.2f ms (%7.1f MP/s)   %-16s %8.2f ms (%7.1f MP/s)   peer/ours %5.2f\n", what,
                ours, megapixels / ours * 1e3, peerName, peer, megapixels / peer * 1e3, peer / ours);
}

void benchResample(const rimo::Bitmap& source, const QString& sourcePpm, int width, int height,
                   const QString& convert)
{
    rimo::Bitmap ours(width, height);
    const QImage image = source.toImage().convertToFormat(QImage::Format_RGB32);
    QImage scaled;
    bool imOk = true;
    const QString geometry = QStringLiteral("%1x%2!").arg(width).arg(height);
    const std::vector<double> ms = bestMsInTurn({
        [&] { rimo::ResampleBitmap(source, ours); },
        [&] { scaled = image.scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation); },
        command(convert,
                {sourcePpm, QStringLiteral("-filter"), QStringLiteral("Triangle"), QStringLiteral("-resize"),
                 geometry, QStringLiteral("null:")},
                imOk),
        command(convert, {sourcePpm, QStringLiteral("null:")}, imOk),
    });
    const double mp = double(width) * height / 1e6;
    const QString title = QStringLiteral("resample %1x%2 -> %3x%4")
                              .arg(source.width())
                              .arg(source.height())
                              .arg(width)
                              .arg(height);
    report(qPrintable(title), ms[0], ms[1], "QImage::scaled", mp);
    // A difference lost in the noise of two process runs is no figure.
    const double imMs = imOk && ms[2] > ms[3] ? ms[2] - ms[3] : -1;
    report("", ms[0], imMs, "ImageMagick", mp);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc > 1)
        g_runs = std::max(1, std::atoi(argv[1]));
    QThreadPool::globalInstance()->setMaxThreadCount(1);
    QTemporaryDir dir;
    const QString convert = findConvert();
    std::printf("runs: %d, ImageMagick: %s\n", g_runs, convert.isEmpty() ? "not found" : qPrintable(convert));

    const rimo::Bitmap photo = photograph(4000, 3000);
    const QString photoJpeg = dir.filePath(QStringLiteral("photo.jpg"));
    const QString photoPpm = dir.filePath(QStringLiteral("photo.ppm"));
    writeFile(photoJpeg, rimo::encodeJpeg(photo, 90));
    writeFile(photoPpm, ppm(photo));

    rimo::Bitmap small(640, 480);
    rimo::ResampleBitmap(photo, small);
    const QString smallPpm = dir.filePath(QStringLiteral("small.ppm"));
    writeFile(smallPpm, ppm(small));

    benchResample(photo, photoPpm, 800, 600, convert);
    benchResample(small, smallPpm, 1920, 1440, convert);

    const double mp = 12.0;
    rimo::Bitmap decoded;
    bool djpegOk = true;
    const QString djpeg = QStandardPaths::findExecutable(QStringLiteral("djpeg"));
    const std::vector<double> load = bestMsInTurn({
        [&] {
            if (!rimo::LoadJpegIntoBitmap(decoded, photoJpeg))
                qFatal("the photograph did not load");
        },
        command(djpeg, {photoJpeg}, djpegOk),
    });
    report("LoadJpegIntoBitmap 4000x3000", load[0], djpegOk ? load[1] : -1, "djpeg", mp);

    const QString out = dir.filePath(QStringLiteral("out.jpg"));
    bool cjpegOk = true;
    const QString cjpeg = QStandardPaths::findExecutable(QStringLiteral("cjpeg"));
    const std::vector<double> save = bestMsInTurn({
        [&] { rimo::SaveBitmapAsJpeg(decoded, out, 50); },
        command(cjpeg,
                {QStringLiteral("-quality"), QStringLiteral("50"), QStringLiteral("-outfile"),
                 dir.filePath(QStringLiteral("cjpeg.jpg")), photoPpm},
                cjpegOk),
    });
    report("SaveBitmapAsJpeg q50 4000x3000", save[0], cjpegOk ? save[1] : -1, "cjpeg -quality 50", mp);
    return 0;
}
