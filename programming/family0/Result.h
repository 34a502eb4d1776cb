// A value or the one-line reason there is none. The tool reports every
// refusal as a message, so failures carry text rather than codes.
#pragma once

#include <optional>
#include <string>
#include <utility>

template <typename T> class Result
{
public:
    static Result Success(T value)
    {
        Result result;
        result.m_value = std::move(value);
        return result;
    }

    static Result Failure(std::string message)
    {
        Result result;
        result.m_error = std::move(message);
        return result;
    }

    bool IsOk() const { return m_value.has_value(); }
    const T& Value() const { return *m_value; }
    T& Value() { return *m_value; }
    const std::string& Error() const { return m_error; }

private:
    Result() = default;

    std::optional<T> m_value;
    std::string m_error;
};
