// The one exception type that handlers throw for the general error report: its text is
// shown in a message box captioned with the application title and the error icon.
#pragma once

#include <QString>

#include <exception>
#include <string>

namespace quendrix {

class UserError : public std::exception {
  public:
    explicit UserError(QString message)
        : m_message(std::move(message)), m_utf8(m_message.toStdString()) {}
    const QString& message() const noexcept { return m_message; }
    const char* what() const noexcept override { return m_utf8.c_str(); }

  private:
    QString m_message;
    std::string m_utf8;
};

}  // namespace quendrix
