#!/usr/bin/env bash
# Installs what is missing on a Debian 12 machine, builds, and then either
# starts the program on the virtual reader (run) or runs every test (test).
set -euo pipefail
cd "$(dirname "$0")/.."

mode="${1:-run}"
packages=(cmake g++ make pkg-config qt6-base-dev qt6-translations-l10n libgl-dev libicu-dev libgtest-dev
          libgmock-dev libbenchmark-dev xvfb xauth fonts-noto-cjk libreoffice-writer-nogui binutils
          desktop-file-utils appstream dpkg-dev file man-db clang libclang-rt-14-dev libzip-dev libxml2-dev
          libpoppler-cpp-dev libmobi-dev libmd4c-dev libmd4c-html0-dev clang-tidy-14 gettext
          gcc-avr avr-libc libsimavr-dev)
missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  echo "Installing: ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
fi

jobs="$(nproc)"
build() {  # build DIR [cmake options...] [-- targets...]
  local dir="$1"; shift
  local options=() targets=()
  while [ $# -gt 0 ] && [ "$1" != "--" ]; do options+=("$1"); shift; done
  [ $# -gt 0 ] && shift
  targets=("$@")
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUIREL_WERROR=ON "${options[@]}" >/dev/null
  if [ ${#targets[@]} -gt 0 ]; then
    cmake --build "$dir" -j "$jobs" --target "${targets[@]}"
  else
    cmake --build "$dir" -j "$jobs"
  fi
}

case "$mode" in
  run)
    build build -- Quirel10 quirel quirel-viewer pacer
    args=(--port "${QUIREL_PORT:-virtual}")
    if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
      echo "No display found: the window runs under a virtual display (Xvfb), where nobody can see it."
      echo "To see it, start tools/setup.sh run from a desktop session (or with DISPLAY set)."
      # The inner shell becomes the program, so the id it prints is the program's;
      # ending the program lets xvfb-run take its display down too.
      exec xvfb-run -a sh -c 'echo "To stop it, press Ctrl-C here, or run \"kill $$\" in another terminal."
                              exec "$@"' quirel40 ./build/app/quirel40 "${args[@]}"
    fi
    exec ./build/app/quirel40 "${args[@]}"
    ;;
  test)
    build build
    (cd build && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$jobs")
    # Bug-prone constructs and needless copies (the checks in .clang-tidy).
    bash tools/tidy.sh build
    # The Debian package: built, its dependencies resolvable by apt, and its
    # programs run from the unpacked tree as they would from /usr.
    (cd build && rm -f quirel_*.deb && cpack -G DEB >/dev/null)
    deb="$(ls build/quirel_*.deb)"
    dpkg-deb --info "$deb"
    apt-get install --simulate --no-install-recommends "./$deb" >/dev/null
    unpacked="$(mktemp -d)"
    dpkg-deb -x "$deb" "$unpacked"
    bash tools/check-install.sh --tree "$unpacked/usr"
    rm -rf "$unpacked"
    # The same tests once more under AddressSanitizer and UndefinedBehaviorSanitizer.
    build build-sanitize -DQUIREL_SANITIZE=ON
    (cd build-sanitize && QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=1 \
       UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j "$jobs")
    # A short run of every fuzz target, so that a new crash shows at once;
    # tools/fuzz.sh SECONDS runs them longer.
    bash tools/fuzz.sh 30
    ;;
  *)
    echo "usage: tools/setup.sh run|test" >&2
    exit 64
    ;;
esac
