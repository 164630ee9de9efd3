// Failing to allocate memory is fatal: the program says how many bytes it
// could not get and ends with exit code -1. Only the program itself replaces
// the global allocation functions; the libraries and tests keep the standard ones.
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>

#include "fatal.hpp"

namespace {

bool reporting = false;

void* Allocate(std::size_t size) {
  if (size == 0) size = 1;
  for (;;) {
    if (void* p = std::malloc(size)) return p;
    if (std::new_handler handler = std::get_new_handler()) {
      handler();
      continue;
    }
    // A second failure while the first is being reported ends the program
    // without a box.
    if (reporting) std::_Exit(-1);
    reporting = true;
    // "分配 %d 字节内存失败!" with the byte count.
    std::string message = "分配 ";
    message += std::to_string(size);
    message += " 字节内存失败!";
    kv::ui::FatalError(message);
  }
}

}  // namespace

void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return std::malloc(size ? size : 1); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return std::malloc(size ? size : 1); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
