// The device's one result type: a value or the reason there is none. Surface functions turn
// it into the platform's BOOL + last error, LSTATUS or HRESULT; nothing inside throws.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <variant>

namespace pellix::device {

struct Error {
  std::string message;
  long code = 0;  // the platform error the surface reports, when there is one
};

template <typename T>
class [[nodiscard]] Result {
 public:
  Result(T value) : state_(std::move(value)) {}
  Result(Error error) : state_(std::move(error)) {}

  bool ok() const { return state_.index() == 0; }
  explicit operator bool() const { return ok(); }
  T& value() { return std::get<0>(state_); }
  const T& value() const { return std::get<0>(state_); }
  T& operator*() { return value(); }
  T* operator->() { return &value(); }
  const T* operator->() const { return &value(); }
  const Error& error() const { return std::get<1>(state_); }

 private:
  std::variant<T, Error> state_;
};

// Result<void>: success or an error.
class [[nodiscard]] Status {
 public:
  Status() = default;
  Status(Error error) : error_(std::move(error)) {}
  static Status Ok() { return Status(); }
  bool ok() const { return !error_.has_value(); }
  explicit operator bool() const { return ok(); }
  const Error& error() const { return *error_; }

 private:
  std::optional<Error> error_;
};

inline Error Fail(std::string message, long code = 0) { return Error{std::move(message), code}; }

}  // namespace pellix::device
