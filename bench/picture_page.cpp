// Writes the book of bench/page-load: one page of about 40 KB with 120 pictures of 20 to
// 200 KB (half PNG, half JPEG), one style sheet, and a book.json. The page writes the time
// from navigation start to its load event into its title. The same bytes every run.
//   folianto-picture-page FOLDER
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <cmath>
#include <cstdio>
#include <random>
#include <string>

namespace {

std::mt19937 Random(20261210);

// A picture with shapes and grain, so it neither compresses away nor looks like noise.
QImage Draw(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(QColor::fromHsv(static_cast<int>(Random() % 360), 90, 220));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    for (int i = 0; i < 30; ++i) {
        painter.setBrush(QColor::fromHsv(static_cast<int>(Random() % 360), 160, 200));
        painter.setPen(Qt::NoPen);
        const int w = 10 + static_cast<int>(Random() % (width / 2 + 1));
        const int h = 10 + static_cast<int>(Random() % (height / 2 + 1));
        painter.drawEllipse(static_cast<int>(Random() % width) - w / 2, static_cast<int>(Random() % height) - h / 2, w, h);
    }
    painter.end();
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const int grain = static_cast<int>(Random() % 48) - 24;
            const QRgb p = line[x];
            line[x] = qRgb(std::clamp(qRed(p) + grain, 0, 255), std::clamp(qGreen(p) + grain, 0, 255),
                           std::clamp(qBlue(p) + grain, 0, 255));
        }
    }
    return image;
}

QByteArray Encode(const QImage& image, const char* format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format, std::string(format) == "JPG" ? 85 : -1);
    return bytes;
}

// A picture of close to target bytes: its size is scaled until the encoding fits.
QByteArray Picture(std::size_t target, const char* format)
{
    double side = std::sqrt(target / (std::string(format) == "JPG" ? 0.9 : 2.6));
    QByteArray bytes;
    for (int attempt = 0; attempt < 4; ++attempt) {
        const int width = std::max(16, static_cast<int>(side * 4 / 3));
        const int height = std::max(16, static_cast<int>(side * 3 / 4));
        bytes = Encode(Draw(width, height), format);
        const double ratio = static_cast<double>(target) / bytes.size();
        if (ratio > 0.93 && ratio < 1.07)
            break;
        side *= std::sqrt(ratio);
    }
    return bytes;
}

bool Write(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

}  // namespace

int main(int argc, char** argv)
{
    QGuiApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(folder + "/pages/pictures");

    static const char* const words[] = {"lamp", "street", "harbour", "window", "letter", "evening", "stone", "garden",
                                        "river", "morning", "paper", "voice"};
    auto prose = [](std::size_t size) {
        std::string text;
        while (text.size() < size)
            text += std::string(words[Random() % 12]) + (Random() % 10 == 0 ? ". " : " ");
        return text;
    };

    std::string html =
        "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Pictures</title>"
        "<link rel=\"stylesheet\" href=\"style.css\">"
        "<script>addEventListener('load', () => { document.title = 'loaded ' + performance.now().toFixed(1) + ' ms'; });"
        "</script></head><body><h1>A chapter of pictures</h1>\n";
    std::size_t pictureBytes = 0;
    for (int i = 0; i < 120; ++i) {
        const bool png = i % 2 == 0;
        const std::size_t target = 20 * 1024 + Random() % (180 * 1024);
        const QByteArray bytes = Picture(target, png ? "PNG" : "JPG");
        pictureBytes += static_cast<std::size_t>(bytes.size());
        const std::string name = "pictures/p" + std::to_string(1000 + i).substr(1) + (png ? ".png" : ".jpg");
        if (!Write(folder + "/pages/" + QString::fromStdString(name), bytes))
            return 1;
        html += "<p>" + prose(300) + "</p>\n<figure><img src=\"" + name + "\" alt=\"picture " + std::to_string(i) +
                "\"></figure>\n";
    }
    html += "</body></html>\n";
    const std::string css =
        "body { font-family: serif; margin: 2em auto; max-width: 46em; line-height: 1.5; color: #222; }\n"
        "h1 { font-size: 1.6em; }\nfigure { margin: 1em 0; }\nimg { max-width: 100%; height: auto; }\n";
    const std::string book =
        "{\"BookId\": \"page-load-bench\", \"Title\": \"Benchmark\", \"Entries\": \"pages\","
        " \"StartPage\": \"/index.html\", \"RememberLastPage\": false}\n";
    if (!Write(folder + "/pages/index.html", QByteArray::fromStdString(html)) ||
        !Write(folder + "/pages/style.css", QByteArray::fromStdString(css)) ||
        !Write(folder + "/book.json", QByteArray::fromStdString(book)))
        return 1;
    std::printf("page %zu bytes, 120 pictures %zu bytes\n", html.size(), pictureBytes);
    return 0;
}
