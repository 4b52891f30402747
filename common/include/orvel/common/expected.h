// A value or an error, for operations whose failures the caller reports rather than throws.
#pragma once

#include <cassert>
#include <optional>
#include <utility>
#include <variant>

namespace orvel {

template <class E>
struct Unexpected {
  E error;
};

template <class E>
Unexpected<std::decay_t<E>> unexpected(E&& error) {
  return {std::forward<E>(error)};
}

template <class T, class E>
class [[nodiscard]] Expected {
 public:
  Expected(T value) : state_(std::in_place_index<0>, std::move(value)) {}
  template <class G>
  Expected(Unexpected<G> u) : state_(std::in_place_index<1>, std::move(u.error)) {}

  bool hasValue() const { return state_.index() == 0; }
  explicit operator bool() const { return hasValue(); }

  T& value() & {
    assert(hasValue());
    return std::get<0>(state_);
  }
  const T& value() const& {
    assert(hasValue());
    return std::get<0>(state_);
  }
  T&& value() && {
    assert(hasValue());
    return std::get<0>(std::move(state_));
  }
  T& operator*() & { return value(); }
  const T& operator*() const& { return value(); }
  T* operator->() { return &value(); }
  const T* operator->() const { return &value(); }

  const E& error() const& {
    assert(!hasValue());
    return std::get<1>(state_);
  }
  E&& error() && {
    assert(!hasValue());
    return std::get<1>(std::move(state_));
  }

 private:
  std::variant<T, E> state_;
};

template <class E>
class [[nodiscard]] Expected<void, E> {
 public:
  Expected() = default;
  template <class G>
  Expected(Unexpected<G> u) : error_(std::move(u.error)) {}

  bool hasValue() const { return !error_.has_value(); }
  explicit operator bool() const { return hasValue(); }
  const E& error() const& {
    assert(!hasValue());
    return *error_;
  }
  E&& error() && {
    assert(!hasValue());
    return std::move(*error_);
  }

 private:
  std::optional<E> error_;
};

}  // namespace orvel
