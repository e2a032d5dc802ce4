#pragma once
// Books written for the tests, and fakes of the reader window's platform services.

#include "PackageWriter.h"

#include <QImage>
#include <QString>

#include <map>
#include <memory>
#include <optional>
#include <string>

namespace folianto::test {

Bytes ToBytes(const std::string& text);

// A book of HTML pages: name -> content; the first page is the start page unless
// the description says otherwise.
TBookDescription PagesBook(std::map<std::string, std::string> pages, std::string startPage = "/index.html");

// Writes the package alone into a file under directory and returns its path.
QString WriteBookFile(const TBookDescription& book, const QString& directory, const QString& name = "book.pkg");

// Reads a whole file, or an empty array.
QByteArray ReadAll(const QString& path);

// A page with this title and body.
std::string HtmlPage(const std::string& title, const std::string& body = {});

// A PNG file of the picture.
Bytes PngOf(const QImage& picture);
// A picture of one colour.
QImage Filled(int width, int height, QColor colour, QImage::Format format = QImage::Format_ARGB32);

}  // namespace folianto::test

#include <QtTest>

namespace QTest {
template <>
inline char* toString(const std::string& text)
{
    return qstrdup(QByteArray::fromStdString(text).toPercentEncoding(" -/:#?.").constData());
}
}  // namespace QTest
