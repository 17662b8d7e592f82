#pragma once
// The one error type that crosses module boundaries. It carries the text the user
// sees (often the server's own message), so it is held as QString, not bytes.

#include <QByteArray>
#include <QString>
#include <exception>

namespace rimo {

class Error : public std::exception
{
public:
    explicit Error(QString text) : m_text(std::move(text)), m_utf8(m_text.toUtf8()) {}
    const QString& text() const noexcept { return m_text; }
    const char* what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_text;
    QByteArray m_utf8;
};

} // namespace rimo
