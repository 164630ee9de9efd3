// How a step of an update ended (the version fetch, a download): the one
// result type of the update library. A failure carries the text the user is
// to see; the caller shows it (caption kMessageCaption) or, for the version
// fetch, goes on to the prompt without it.
#pragma once

#include <utility>

#include "text.hpp"

namespace kv {

// Messages of the update path, each shown with the caption kMessageCaption.
inline constexpr char kMessageCaption[] = "信息：";
inline constexpr char kMsgInternetError[] = "Internet连接错误!";
inline constexpr char kMsgCannotOpenUrl[] = "不能打开该URL!";
inline constexpr char kMsgCannotOpenFile[] = "不能打开本地的文件!";
inline constexpr char kMsgReadError[] = "读文件出错!";
inline constexpr char kMsgWriteError[] = "写文件出错!";
inline constexpr char kMsgDownloadComplete[] = "下载完成!";
// The archive's signature is missing, unusable or not the publisher's.
inline constexpr char kMsgVerifyFailed[] = "文件校验失败!";

class UpdateResult {
 public:
  enum class State {
    kDone,       // the data ended; nothing says that it is all there is
    kComplete,   // a download holds the whole resource, checked and closed
    kFailed,     // message() says what went wrong
    kCancelled,  // the program is ending: nothing to show
  };

  static UpdateResult Done() { return UpdateResult(State::kDone, {}); }
  static UpdateResult Complete() { return UpdateResult(State::kComplete, {}); }
  static UpdateResult Failed(Text message) { return UpdateResult(State::kFailed, std::move(message)); }
  static UpdateResult Cancelled() { return UpdateResult(State::kCancelled, {}); }

  State state() const { return state_; }
  bool complete() const { return state_ == State::kComplete; }
  bool failed() const { return state_ == State::kFailed; }
  bool cancelled() const { return state_ == State::kCancelled; }
  // The data ended, complete or not.
  bool ended() const { return state_ == State::kDone || state_ == State::kComplete; }
  // The GBK text for the user; empty unless failed.
  const Text& message() const { return message_; }

  bool operator==(const UpdateResult&) const = default;

 private:
  UpdateResult(State state, Text message) : state_(state), message_(std::move(message)) {}

  State state_;
  Text message_;
};

}  // namespace kv
