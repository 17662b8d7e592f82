#include "toolkit/images/jpegcodec.h"

#include "core/error.h"
#include "core/wholefile.h"

#include <QFile>
#include <QSaveFile>
#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
// jpeglib.h needs FILE and size_t declared first.
#include <jerror.h>
#include <jpeglib.h>

// libjpeg reports errors by calling error_exit, which must not return. Ours jumps back to the
// setjmp in the function that made the codec object; that function destroys the object, which
// frees all of libjpeg's memory. The frames between setjmp and longjmp are libjpeg's C frames and
// our own, and ours hold nothing with a destructor, so the jump skips no cleanup. No C++ exception
// may cross libjpeg's frames either (they have no unwind tables), so our callbacks never throw.

namespace rimo {

namespace {

struct ErrorManager
{
    jpeg_error_mgr pub; // first, so libjpeg's pointer to it is a pointer to the whole
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

[[noreturn]] void failJump(j_common_ptr info)
{
    auto* manager = reinterpret_cast<ErrorManager*>(info->err);
    manager->pub.format_message(info, manager->message);
    std::longjmp(manager->jump, 1);
}

void onMessage(j_common_ptr info, int level)
{
    // Levels 0 and up are trace messages. Warnings (-1) are mostly corrupt data that libjpeg papers
    // over; only an unknown JFIF revision says nothing about the picture itself.
    if (level >= 0 || info->err->msg_code == JWRN_JFIF_MAJOR)
        return;
    failJump(info);
}

void installErrorManager(ErrorManager& manager)
{
    jpeg_std_error(&manager.pub);
    manager.pub.error_exit = failJump;
    manager.pub.emit_message = onMessage;
    manager.message[0] = '\0';
}

QString libjpegText(const char* message)
{
    return QString::fromLocal8Bit(message);
}

// The pixel rows handed to libjpeg per call: several at once lets it work on whole row groups.
constexpr int kRowBatch = 16;

// Returns an empty text on success, else the failure. `out` is only touched once the picture's
// size is known.
QString decodeInto(const QByteArray& data, Bitmap& out)
{
    jpeg_decompress_struct info{};
    ErrorManager errors;
    info.err = &errors.pub;
    installErrorManager(errors);
    const char* refusal = nullptr;
    if (setjmp(errors.jump)) {
        jpeg_destroy_decompress(&info);
        return libjpegText(errors.message);
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(data.constData()),
                 static_cast<unsigned long>(data.size()));
    jpeg_read_header(&info, TRUE);
    if (info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK) {
        refusal = "CMYK and YCCK JPEG pictures are not supported";
    } else if (std::int64_t{info.image_width} * info.image_height > Bitmap::kMaxPixels) {
        refusal = "The JPEG picture is too large to hold in memory";
    } else {
        info.out_color_space = JCS_EXT_BGR;
        jpeg_start_decompress(&info);
        if (!out.trySetSize(static_cast<int>(info.output_width), static_cast<int>(info.output_height))) {
            refusal = "The JPEG picture is too large to hold in memory";
        } else {
            JSAMPROW rows[kRowBatch];
            while (info.output_scanline < info.output_height) {
                const JDIMENSION first = info.output_scanline;
                const JDIMENSION count = std::min<JDIMENSION>(kRowBatch, info.output_height - first);
                for (JDIMENSION i = 0; i < count; ++i)
                    rows[i] = out.row(static_cast<int>(first + i));
                jpeg_read_scanlines(&info, rows, count);
            }
            jpeg_finish_decompress(&info);
        }
    }
    jpeg_destroy_decompress(&info);
    return refusal ? QString::fromLatin1(refusal) : QString();
}

// A growing malloc'd buffer: libjpeg-turbo's own memory destination loses its buffer when an error
// interrupts it after a growth.
struct MemoryDestination
{
    jpeg_destination_mgr pub; // first, as for the error manager
    unsigned char* data;
    std::size_t capacity;
};

void initDestination(j_compress_ptr info)
{
    auto* dest = reinterpret_cast<MemoryDestination*>(info->dest);
    dest->capacity = 1 << 16;
    dest->data = static_cast<unsigned char*>(std::malloc(dest->capacity));
    if (!dest->data)
        ERREXIT1(info, JERR_OUT_OF_MEMORY, 0);
    dest->pub.next_output_byte = dest->data;
    dest->pub.free_in_buffer = dest->capacity;
}

boolean growDestination(j_compress_ptr info)
{
    auto* dest = reinterpret_cast<MemoryDestination*>(info->dest);
    const std::size_t used = dest->capacity;
    auto* grown = static_cast<unsigned char*>(std::realloc(dest->data, used * 2));
    if (!grown)
        ERREXIT1(info, JERR_OUT_OF_MEMORY, 1);
    dest->data = grown;
    dest->capacity = used * 2;
    dest->pub.next_output_byte = grown + used;
    dest->pub.free_in_buffer = dest->capacity - used;
    return TRUE;
}

void termDestination(j_compress_ptr) {}

// Returns an empty text on success, else libjpeg's message; `out` receives the file's bytes.
QString encodeInto(const Bitmap& bitmap, int quality, QByteArray& out)
{
    jpeg_compress_struct info{};
    ErrorManager errors;
    MemoryDestination dest{};
    info.err = &errors.pub;
    installErrorManager(errors);
    if (setjmp(errors.jump)) {
        jpeg_destroy_compress(&info);
        std::free(dest.data);
        return libjpegText(errors.message);
    }
    jpeg_create_compress(&info);
    dest.pub.init_destination = initDestination;
    dest.pub.empty_output_buffer = growDestination;
    dest.pub.term_destination = termDestination;
    info.dest = &dest.pub;
    info.image_width = static_cast<JDIMENSION>(bitmap.width());
    info.image_height = static_cast<JDIMENSION>(bitmap.height());
    info.input_components = Bitmap::kBytesPerPixel;
    info.in_color_space = JCS_EXT_BGR;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, std::clamp(quality, 1, 100), TRUE);
    jpeg_start_compress(&info, TRUE);
    JSAMPROW rows[kRowBatch];
    while (info.next_scanline < info.image_height) {
        const JDIMENSION first = info.next_scanline;
        const JDIMENSION count = std::min<JDIMENSION>(kRowBatch, info.image_height - first);
        for (JDIMENSION i = 0; i < count; ++i)
            rows[i] = const_cast<JSAMPROW>(bitmap.row(static_cast<int>(first + i)));
        jpeg_write_scanlines(&info, rows, count);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    const std::size_t size = dest.capacity - dest.pub.free_in_buffer;
    // Copying cannot throw through libjpeg here: the codec object is gone.
    QString failure;
    try {
        out = QByteArray(reinterpret_cast<const char*>(dest.data), static_cast<qsizetype>(size));
    } catch (const std::bad_alloc&) {
        failure = QStringLiteral("Not enough memory for the JPEG file");
    }
    std::free(dest.data);
    return failure;
}

} // namespace

Bitmap decodeJpeg(const QByteArray& data)
{
    Bitmap bitmap;
    const QString failure = decodeInto(data, bitmap);
    if (!failure.isEmpty())
        throw Error(failure);
    return bitmap;
}

Bitmap readJpegFile(const QString& fileName)
{
    return decodeJpeg(readWholeFile(fileName, kImageFileLimit));
}

QByteArray encodeJpeg(const Bitmap& bitmap, int quality)
{
    if (bitmap.isEmpty()) {
        throw Error(QStringLiteral("Cannot save a picture of %1 x %2 pixels as JPEG")
                        .arg(bitmap.width())
                        .arg(bitmap.height()));
    }
    QByteArray data;
    const QString failure = encodeInto(bitmap, quality, data);
    if (!failure.isEmpty())
        throw Error(failure);
    return data;
}

void writeFileReplacing(const QString& fileName, const QByteArray& data)
{
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        throw Error(QStringLiteral("Cannot write %1: %2").arg(fileName, file.errorString()));
    if (file.write(data) != data.size() || !file.commit())
        throw Error(QStringLiteral("Cannot write %1: %2").arg(fileName, file.errorString()));
}

bool LoadJpegIntoBitmap(Bitmap& bitmap, const QString& name)
{
    try {
        bitmap = readJpegFile(name);
        return true;
    } catch (const Error&) {
        return false;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

bool SaveBitmapAsJpeg(const Bitmap& bitmap, const QString& name, std::uint8_t quality)
{
    writeFileReplacing(name, encodeJpeg(bitmap, quality));
    return true;
}

} // namespace rimo
