#pragma once

#include <utility>
#include <variant>

namespace velnor {

// A value or an error, delivered by every asynchronous operation that can fail.
template <typename T, typename E>
class Result final {
public:
    static Result success(T value) { return Result(std::in_place_index<0>, std::move(value)); }
    static Result failure(E error) { return Result(std::in_place_index<1>, std::move(error)); }

    bool ok() const { return m_value.index() == 0; }
    explicit operator bool() const { return ok(); }

    const T& value() const { return std::get<0>(m_value); }
    T& value() { return std::get<0>(m_value); }
    const E& error() const { return std::get<1>(m_value); }

private:
    template <std::size_t I, typename V>
    Result(std::in_place_index_t<I> index, V&& v)
        : m_value(index, std::forward<V>(v))
    {
    }

    std::variant<T, E> m_value;
};

} // namespace velnor
