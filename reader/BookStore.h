#pragma once
// The only state kept between runs: the last page viewed, per book.

#include <QString>

#include <memory>
#include <optional>
#include <string>

namespace folianto {

// One book's key. Opening it creates it; the page value lives under "Configuration".
class TBookStore {
public:
    virtual ~TBookStore() = default;
    // The stored "LastPageViewed", none when the value or its section is missing.
    virtual std::optional<std::string> ReadLastPage() = 0;
    virtual void WriteLastPage(const std::string& page) = 0;
};

// The file of one book under the store folder: "Vantrel/Folianto/3.0/eBooks/" and the
// BookId's bytes percent-encoded (only letters, digits, "-" and "_" stay as they are),
// cut into folder names of at most 200 characters, then ".ini". The encoding is
// one-to-one, so two different BookIds never share a file.
QString BookStoreRelativePath(const std::string& bookId);

// An INI file per book under configRoot (the user's config directory by default:
// $XDG_CONFIG_HOME or ~/.config).
class TIniBookStore : public TBookStore {
public:
    explicit TIniBookStore(const std::string& bookId, QString configRoot = DefaultConfigRoot());
    std::optional<std::string> ReadLastPage() override;
    void WriteLastPage(const std::string& page) override;

    QString FileName() const { return fileName_; }
    static QString DefaultConfigRoot();

private:
    QString fileName_;
};

}  // namespace folianto
