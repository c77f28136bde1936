/* Test-only preload for Wine processes whose COM ports lead to pseudo-terminals. A pty has no
 * modem lines, so TIOCMGET and friends fail there; Wine's wait for communication events gives up
 * when they do, and EV_RXCHAR is never reported. This answers those requests with "no lines
 * set" when the real call refuses them, and passes every other request through untouched.
 * i386 glibc with 64-bit time routes ioctl through __ioctl_time64, so both names are defined.
 * Never part of a product. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <stdarg.h>
#include <sys/ioctl.h>

typedef int (*ioctl_function)(int, unsigned long, ...);

static int modem_request(unsigned long request) {
  return request == TIOCMGET || request == TIOCMSET || request == TIOCMBIS || request == TIOCMBIC;
}

/* Looks the next definition of `name` up once and keeps it in `slot`. */
static void resolve(ioctl_function* slot, const char* name) {
  if (*slot == 0) *slot = (ioctl_function)dlsym(RTLD_NEXT, name);
}

static int answer(ioctl_function real, int fd, unsigned long request, void* argument) {
  if (real == 0) {
    errno = ENOSYS;
    return -1;
  }
  const int result = real(fd, request, argument);
  if (result == -1 && (errno == ENOTTY || errno == EINVAL) && modem_request(request)) {
    if (request == TIOCMGET && argument != 0) *(int*)argument = 0;
    return 0;
  }
  return result;
}

int ioctl(int fd, unsigned long request, ...) {
  va_list arguments;
  va_start(arguments, request);
  void* argument = va_arg(arguments, void*);
  va_end(arguments);
  static ioctl_function real;
  resolve(&real, "ioctl");
  return answer(real, fd, request, argument);
}

int __ioctl_time64(int fd, unsigned long request, ...) {
  va_list arguments;
  va_start(arguments, request);
  void* argument = va_arg(arguments, void*);
  va_end(arguments);
  static ioctl_function real;
  static ioctl_function plain;
  resolve(&real, "__ioctl_time64");
  if (real != 0) return answer(real, fd, request, argument);
  resolve(&plain, "ioctl");
  return answer(plain, fd, request, argument);
}
