// An event whose handler takes one value. A handler may still take the positional arguments the
// event had before it carried a value (some tools keep handlers of that form): Positional
// spreads the value into those arguments, in their old order.
#pragma once

#include <concepts>
#include <cstddef>
#include <functional>
#include <tuple>
#include <type_traits>
#include <utility>

namespace kiv {

template <class F, class Tuple>
inline constexpr bool kInvocableWithElements = []<std::size_t... I>(std::index_sequence<I...>) {
    return std::is_invocable_v<F&, std::tuple_element_t<I, Tuple>...>;
}(std::make_index_sequence<std::tuple_size_v<Tuple>>{});

template <class Value, auto Positional>
class ValueEvent {
public:
    using Arguments = decltype(Positional(std::declval<const Value&>()));

    ValueEvent() = default;

    template <class F>
        requires std::invocable<F&, const Value&>
    ValueEvent& operator=(F handler)
    {
        handler_ = std::move(handler);
        return *this;
    }

    template <class F>
        requires(!std::invocable<F&, const Value&> && kInvocableWithElements<F, Arguments>)
    ValueEvent& operator=(F handler)
    {
        handler_ = [h = std::move(handler)](const Value& value) mutable { std::apply(h, Positional(value)); };
        return *this;
    }

    ValueEvent& operator=(std::nullptr_t)
    {
        handler_ = nullptr;
        return *this;
    }

    explicit operator bool() const { return static_cast<bool>(handler_); }
    void operator()(const Value& value) const { handler_(value); }

private:
    std::function<void(const Value&)> handler_;
};

}  // namespace kiv
