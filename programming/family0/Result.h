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
        result.value_ = std::move(value);
        return result;
    }

    static Result Failure(std::string message)
    {
        Result result;
        result.error_ = std::move(message);
        return result;
    }

    bool IsOk() const { return value_.has_value(); }
    const T& Value() const { return *value_; }
    T& Value() { return *value_; }
    const std::string& Error() const { return error_; }

private:
    Result() = default;

    std::optional<T> value_;
    std::string error_;
};
