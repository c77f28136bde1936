#!/usr/bin/env bash
# Static checks with the project's own configuration: cppcheck over every source folder and
# clang-tidy (.clang-tidy) over the native build's compilation database. Exits non-zero on any
# finding.
#   scripts/lint.sh
set -euo pipefail
cd "$(dirname "$0")/.."

dirs=(service_object shared sim utility tests examples bench fuzz)

echo "== cppcheck"
# The simulator test's chrono literals ("10s") trip cppcheck 2.10's number parser.
cppcheck --quiet --library=googletest --enable=warning,performance,portability --std=c++20 \
  --error-exitcode=1 --inline-suppr -I . --suppress=missingIncludeSystem \
  --suppress=cppcheckError:tests/sim/simulator_process_test.cpp "${dirs[@]}"

echo "== clang-tidy"
cmake --preset native >/dev/null
# Generated sources and third-party code are not ours to lint.
files=$(git ls-files '*.cpp' | grep -E '^(service_object/(core|posix)|sim|utility/(core|posix)|tests/(unit|integration|sim|support|utility)|bench)/')
run-clang-tidy -quiet -j "$(nproc)" -p build/native $files >build/native/clang-tidy.log 2>&1 || {
  grep -E 'error:|warning:' build/native/clang-tidy.log | sort -u | head -50
  echo "clang-tidy found problems (full log: build/native/clang-tidy.log)" >&2
  exit 1
}
echo "== clang-tidy (fuzz targets, preset fuzz)"
cmake --preset fuzz >/dev/null
fuzz_files=$(git ls-files 'fuzz/*.cpp')
run-clang-tidy -quiet -j "$(nproc)" -p build/fuzz $fuzz_files >build/fuzz/clang-tidy.log 2>&1 || {
  grep -E 'error:|warning:' build/fuzz/clang-tidy.log | sort -u | head -50
  echo "clang-tidy found problems (full log: build/fuzz/clang-tidy.log)" >&2
  exit 1
}
echo "== clang-tidy (Windows sources, mingw-w64 target)"
cmake --preset win32 >/dev/null
# clang does not know where mingw's g++ keeps its headers: hand it the cross compiler's own list.
win_args=(-extra-arg=--target=i686-w64-mingw32 -extra-arg=-nostdinc++)
for dir in $(echo | i686-w64-mingw32-g++-posix -std=c++20 -E -x c++ - -v 2>&1 |
             sed -n '/#include <...> search starts here:/,/End of search list./p' | grep '^ '); do
  win_args+=("-extra-arg=-isystem$dir")
done
win_files=$(git ls-files '*.cpp' | grep -E '^(service_object/win32|utility/win32|tests/win32|tests/utility/win32|bench/win32)/')
run-clang-tidy -quiet -j "$(nproc)" -p build/win32 "${win_args[@]}" $win_files >build/win32/clang-tidy.log 2>&1 || {
  grep -E 'error:|warning:' build/win32/clang-tidy.log | sort -u | head -50
  echo "clang-tidy found problems (full log: build/win32/clang-tidy.log)" >&2
  exit 1
}
echo "lint: clean"
