// An error reported to the client the way SQL Server reports it: message number, severity, state, text.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace rimo::tds {

class ServerError : public std::runtime_error
{
public:
    ServerError(int number, int severity, std::string text, int state = 1)
        : std::runtime_error(text), m_number(number), m_severity(severity), m_state(state)
    {
    }
    int number() const { return m_number; }
    int severity() const { return m_severity; }
    int state() const { return m_state; }
    // Errors the server raises while compiling a statement end the whole batch, as SQL Server's do; so
    // does passing the procedure nesting limit (else a procedure calling itself twice would run 2^32
    // times).
    bool abortsBatch() const
    {
        return m_number == 102 || m_number == 207 || m_number == 208 || m_number == 156 || m_number == 217;
    }

private:
    int m_number;
    int m_severity;
    int m_state;
};

inline ServerError syntaxError(std::string_view near)
{
    return ServerError(102, 15, "Incorrect syntax near '" + std::string(near) + "'.");
}

inline ServerError keywordError(std::string_view keyword)
{
    return ServerError(156, 15, "Incorrect syntax near the keyword '" + std::string(keyword) + "'.");
}

inline ServerError notSupported(const std::string& what)
{
    return ServerError(40000, 16, what + " is not supported by the test server.");
}

} // namespace rimo::tds
