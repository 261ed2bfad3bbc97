#!/usr/bin/env bash
# Revscope: set up, build, run, test.
#   ./build.sh run     install what is missing, build, start Revscope
#   ./build.sh test    install what is missing, build, run every test suite (also under ThreadSanitizer)
#   ./build.sh build   install what is missing and build
#   ./build.sh package install what is missing, build, make the Debian package and check it (lintian)
set -euo pipefail
cd "$(dirname "$0")"

PACKAGES=(g++ cmake make pkg-config libgtest-dev libgmock-dev libbenchmark-dev qt6-base-dev qt6-multimedia-dev libgl-dev
          fonts-dejavu-core xdg-utils shared-mime-info desktop-file-utils poppler-utils
          appstream man-db dpkg-dev file lintian)
JOBS=$(nproc 2>/dev/null || echo 2)

install_missing() {
  local missing=()
  for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
}

build() {
  cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build build -j "$JOBS"
}

build_tsan() {
  # The core and its thread tests again, under ThreadSanitizer.
  cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DREVSCOPE_SANITIZE=thread \
        -DREVSCOPE_BUILD_GUI=OFF -DREVSCOPE_BUILD_BENCH=OFF >/dev/null
  cmake --build build-tsan -j "$JOBS"
}

case "${1:-run}" in
  run)
    install_missing
    build
    exec ./build/bin/revscope "${@:2}"
    ;;
  build)
    install_missing
    build
    ;;
  test)
    install_missing
    build
    build_tsan
    echo "== tests"
    (cd build && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$JOBS")
    echo "== core tests under ThreadSanitizer"
    (cd build-tsan && TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
       ctest --output-on-failure -j "$JOBS" -E '^core_has_no_qt$')
    ;;
  package)
    install_missing
    build
    rm -f build/revscope_*.deb
    (cd build && cpack -G DEB)
    deb=$(ls build/revscope_*.deb)
    lintian --fail-on error "$deb"
    echo "== $deb"
    ;;
  *)
    echo "usage: $0 [run|test|build|package]" >&2
    exit 2
    ;;
esac
