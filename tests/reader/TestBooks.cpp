#include "TestBooks.h"

#include <QBuffer>
#include <QDir>
#include <QFile>

namespace folianto::test {

Bytes ToBytes(const std::string& text)
{
    return Bytes(text.begin(), text.end());
}

TBookDescription PagesBook(std::map<std::string, std::string> pages, std::string startPage)
{
    TBookDescription book;
    book.BookId = "test-book";
    book.Title = "My Book";
    book.InterfaceKind = 0;
    for (auto& [name, content] : pages)
        book.Entries.push_back({name, ToBytes(content)});
    book.StartPage = std::move(startPage);
    return book;
}

QString WriteBookFile(const TBookDescription& book, const QString& directory, const QString& name)
{
    const QString path = QDir(directory).filePath(name);
    const Bytes package = WritePackage(book, 0);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {};
    file.write(reinterpret_cast<const char*>(package.data()), static_cast<qint64>(package.size()));
    return path;
}

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

std::string HtmlPage(const std::string& title, const std::string& body)
{
    return "<html><head><title>" + title + "</title></head><body>" + body + "</body></html>";
}

Bytes PngOf(const QImage& picture)
{
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, "PNG");
    return Bytes(png.begin(), png.end());
}

QImage Filled(int width, int height, QColor colour, QImage::Format format)
{
    QImage picture(width, height, format);
    picture.fill(colour);
    return picture;
}

}  // namespace folianto::test
