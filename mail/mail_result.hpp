// What a mail operation gives back: success, or failure with the GBK text
// that says why (a fixed text such as "接收数据超时!" or the server's own).
#pragma once

#include <utility>

#include "text.hpp"

namespace kv {

class MailResult {
 public:
  static MailResult Ok() { return MailResult(); }
  // `why` is never empty for a failure; an empty one stands for a failure
  // whose reason nobody recorded and reads "网络出错!".
  static MailResult Failed(Text why) { return MailResult(std::move(why)); }

  bool ok() const { return ok_; }
  explicit operator bool() const { return ok_; }
  // Empty when ok().
  const Text& error() const { return error_; }

 private:
  MailResult() = default;
  explicit MailResult(Text why) : ok_(false), error_(why.empty() ? Text("网络出错!") : std::move(why)) {}

  bool ok_ = true;
  Text error_;
};

}  // namespace kv
