#!/usr/bin/env bash
# Static checks with the project's own configuration: the Layout table's arrows
# (scripts/lib/check_layout.py over every #include and script call), one format (.clang-format) for every C and
# C++ file, cppcheck over every source folder, and clang-tidy (.clang-tidy) over every source the
# native and the Windows builds compile. Exits non-zero on any finding.
#   scripts/lint.sh
set -euo pipefail
cd "$(dirname "$0")/.."

dirs=(service_object shared sim utility tester bridge tests examples bench fuzz)

echo "== layout"
python3 scripts/lib/check_layout.py
# Every target of ours takes the kit's warnings and sanitizers (cmake/KitTargets.cmake).
if git grep -nE '^\s*add_(library|executable)\(' -- '*CMakeLists.txt' '*.cmake' \
     ':!cmake/KitTargets.cmake' ':!cmake/GoogleTestMingw.cmake' | grep -vE '\((\S+) (INTERFACE|ALIAS|IMPORTED)'; then
  echo "lint: use kit_add_library or kit_add_executable (cmake/KitTargets.cmake) for these" >&2
  exit 1
fi

echo "== clang-format"
# The generated glyph table guards its own layout with clang-format off.
git ls-files -z '*.c' '*.cpp' '*.h' '*.inc' | xargs -0 clang-format --dry-run -Werror

echo "== cppcheck"
# The simulator test's chrono literals ("10s") trip cppcheck 2.10's number parser.
cppcheck --quiet --library=googletest --enable=warning,performance,portability --std=c++20 \
  --error-exitcode=1 --inline-suppr -I . --suppress=missingIncludeSystem \
  --suppress=cppcheckError:tests/sim/runtime/simulator_process_test.cpp "${dirs[@]}"

echo "== clang-tidy"
cmake --preset native >/dev/null
# Every C and C++ source of ours that the build compiles: not the generated ones in build/, not
# third-party code (run-clang-tidy takes a regular expression on each compiled file's path).
run-clang-tidy -quiet -j "$(nproc)" -p build/native "^$PWD/(?!build/).*\.(c|cpp)$" \
  >build/native/clang-tidy.log 2>&1 || {
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
# Each file once: this pass takes the sources of ours that only the Windows build compiles.
win_files=$(python3 - "$PWD" build/native/compile_commands.json build/win32/compile_commands.json <<'EOF'
import json, sys
root, native_db, windows_db = sys.argv[1] + "/", sys.argv[2], sys.argv[3]
native = {entry["file"] for entry in json.load(open(native_db))}
for entry in json.load(open(windows_db)):
    path = entry["file"]
    if path.startswith(root) and not path.startswith(root + "build/") and path.endswith((".c", ".cpp")) \
            and path not in native:
        print("^" + path + "$")
EOF
)
[ -n "$win_files" ] || { echo "lint: build/win32 compiles no Windows sources of ours" >&2; exit 1; }
run-clang-tidy -quiet -j "$(nproc)" -p build/win32 "${win_args[@]}" $win_files >build/win32/clang-tidy.log 2>&1 || {
  grep -E 'error:|warning:' build/win32/clang-tidy.log | sort -u | head -50
  echo "clang-tidy found problems (full log: build/win32/clang-tidy.log)" >&2
  exit 1
}
echo "lint: clean"
