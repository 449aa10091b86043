// The flash seam on a file mapped into memory, so that a kill -9 leaves it as far as the
// program got, as a power cut leaves a flash. As on a flash, a write only clears bits
// (an erase sets them all); --worn-page names a page that no longer erases.
// --cut-after ends the process in the middle of an operation: the first half of the
// page erased or written, the rest as it was. --page-ms gives an erase and a write their
// time, half each, during which the UART keeps receiving.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

#include "bootloader/core/fwboot_port.h"
#include "bootloader/ports/fwboot_report.h"
#include "bootloader/ports/host/host_port.h"

namespace {

FlashSettings settings_;
uint8_t* flash_ = nullptr;
long long operations_ = 0;

uint32_t AreaSize() { return settings_.pageSize * settings_.pages; }

// Fills the page from data (or erases it, data null), cut in the middle when the power goes now.
void Program(uint32_t offset, const uint8_t* data) {
  if (settings_.pageMs > 0) {
    std::this_thread::sleep_for(std::chrono::duration<double, std::milli>(settings_.pageMs / 2));
  }
  const bool cut = operations_ == settings_.cutAfter;
  const uint32_t length = cut ? settings_.pageSize / 2 : settings_.pageSize;
  const bool worn = data == nullptr && offset / settings_.pageSize == settings_.wornPage;
  for (uint32_t i = 0; i < length && !worn; ++i) {
    flash_[offset + i] = data != nullptr ? flash_[offset + i] & data[i] : 0xFF;
  }
  if (cut) {
    char line[FWBOOT_STATE_TEXT_SIZE];
    fwboot_power_cut_text(static_cast<uint32_t>(operations_), line);
    std::printf("%s\n", line);
    std::fflush(stdout);
    _exit(kExitPowerCut);
  }
  ++operations_;
}

bool PageInArea(uint32_t offset) { return offset % settings_.pageSize == 0 && offset < AreaSize(); }

}  // namespace

bool OpenFlash(const FlashSettings& settings, std::string& error) {
  settings_ = settings;
  const int fd = open(settings.path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  struct stat status {};
  if (fd < 0 || fstat(fd, &status) != 0) {
    error = "cannot open the flash file " + settings.path + ": " + std::strerror(errno);
    if (fd >= 0) close(fd);
    return false;
  }
  const bool fresh = status.st_size == 0;
  if (!fresh && status.st_size != static_cast<off_t>(AreaSize())) {
    error = "the flash file " + settings.path + " has " + std::to_string(status.st_size) +
            " bytes, not the area's " + std::to_string(AreaSize());
    close(fd);
    return false;
  }
  if (fresh && ftruncate(fd, AreaSize()) != 0) {
    error = "cannot size the flash file " + settings.path + ": " + std::strerror(errno);
    close(fd);
    return false;
  }
  void* mapped = mmap(nullptr, AreaSize(), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  close(fd);
  if (mapped == MAP_FAILED) {
    error = "cannot map the flash file " + settings.path + ": " + std::strerror(errno);
    return false;
  }
  flash_ = static_cast<uint8_t*>(mapped);
  if (fresh) std::memset(flash_, 0xFF, AreaSize());  // a new flash comes erased
  return true;
}

uint16_t fwboot_flash_page_size(void) { return settings_.pageSize; }
uint32_t fwboot_flash_area_size(void) { return AreaSize(); }

int fwboot_flash_erase_page(uint32_t offset) {
  if (!PageInArea(offset)) return 0;
  Program(offset, nullptr);
  return 1;
}

int fwboot_flash_write_page(uint32_t offset, const uint8_t* data) {
  if (!PageInArea(offset)) return 0;
  Program(offset, data);
  return 1;
}

void fwboot_flash_read(uint32_t offset, uint8_t* data, uint16_t length) {
  std::memcpy(data, flash_ + offset, length);
}
