#include "NormalImageList.h"

#include "StockPictures.h"

#include <QBuffer>
#include <QImageReader>
#include <QPixmap>

#include <cmath>

namespace folianto {

namespace {

// A toolbar picture is 24 x 24; a book picture of more than 4 million pixels (16 MB
// decoded) is not one, and decoding it would only cost memory.
constexpr qint64 kMaxBitmapPixels = 4 * 1024 * 1024;

}  // namespace

bool StretchBitmap(QImage& bitmap, int width, int height)
{
    if (bitmap.isNull() || width <= 0 || height <= 0)
        return false;
    QImage stretched = bitmap.scaled(width, height, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    if (stretched.isNull())
        return false;
    bitmap = std::move(stretched);
    return true;
}

QImage DecodeBitmap(const Bytes& file)
{
    if (file.empty())
        return {};
    QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(file.data()),
                                               static_cast<qsizetype>(file.size()));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "bmp");
    const QSize size = reader.size();
    if (!size.isValid() || qint64(size.width()) * size.height() > kMaxBitmapPixels)
        return {};
    return reader.read();  // decoded into memory of its own, not into the borrowed bytes
}

QImage Masked(const QImage& picture, QColor maskColor)
{
    QImage result = picture.convertToFormat(QImage::Format_ARGB32);
    const QRgb mask = maskColor.rgb() & RGB_MASK;
    for (int y = 0; y < result.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(result.scanLine(y));
        for (int x = 0; x < result.width(); ++x)
            if ((line[x] & RGB_MASK) == mask)
                line[x] = 0;
    }
    return result;
}

TNormalImageList::TNormalImageList(qreal devicePixelRatio) : ratio_(devicePixelRatio > 0 ? devicePixelRatio : 1.0)
{
    for (int command = 0; command < kStockPictureCount; ++command)
        icons_.push_back(StockPictureIcon(command));
}

QIcon TNormalImageList::Icon(int index) const
{
    if (index < 0 || index >= Count())
        return {};
    return icons_[static_cast<std::size_t>(index)];
}

QImage TNormalImageList::Image(int index) const
{
    if (index < 0 || index >= Count())
        return {};
    QImage image = icons_[static_cast<std::size_t>(index)].pixmap(QSize(kPictureSize, kPictureSize), 1.0).toImage();
    return image.convertToFormat(QImage::Format_ARGB32);
}

std::optional<int> TNormalImageList::AddBookBitmap(const Bytes& bitmapFile)
{
    const QImage original = DecodeBitmap(bitmapFile);
    QImage picture = original;
    if (!StretchBitmap(picture, kPictureSize, kPictureSize))
        return std::nullopt;
    // The transparent colour is the scaled picture's bottom-left pixel.
    const QColor transparent = picture.pixelColor(0, picture.height() - 1);

    QIcon icon;
    icon.addPixmap(QPixmap::fromImage(Masked(picture, transparent)));
    // On a high-density screen the book's pixels are stretched from the original as well,
    // with the same transparent colour, instead of enlarging the 24 x 24 picture.
    const int sharpSide = static_cast<int>(std::lround(kPictureSize * ratio_));
    QImage sharp = original;
    if (sharpSide > kPictureSize && StretchBitmap(sharp, sharpSide, sharpSide)) {
        QPixmap pixmap = QPixmap::fromImage(Masked(sharp, transparent));
        pixmap.setDevicePixelRatio(ratio_);
        icon.addPixmap(pixmap);
    }
    icons_.push_back(icon);
    return Count() - 1;
}

}  // namespace folianto
