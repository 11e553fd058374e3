# Installs the Debian packages the build needs, only those that are missing.
# Sourced by run.sh and test.sh.

HALVARIN_BUILD_PACKAGES=(cmake ninja-build g++ qt6-base-dev qt6-svg-dev fontconfig
  fonts-dejavu-core)
# Making the Debian package: dpkg-shlibdeps works out its dependencies.
HALVARIN_PACKAGE_PACKAGES=(dpkg-dev)
HALVARIN_TEST_PACKAGES=(libgtest-dev libgmock-dev libbenchmark-dev clang libclang-rt-14-dev
  binutils-mingw-w64-x86-64 desktop-file-utils appstream groff-base shared-mime-info
  libglib2.0-bin lintian "${HALVARIN_PACKAGE_PACKAGES[@]}")
# The Windows installer and zip of package.sh: the cross compiler, NSIS's
# makensis, and wine to write the sample archive with the build's own writer.
HALVARIN_WINDOWS_PACKAGE_PACKAGES=(g++-mingw-w64-x86-64-posix nsis wine64)
# The Windows step of test.sh: those, GoogleTest's sources to build with the
# cross compiler, a virtual display (xvfb-run needs xauth) for the windows
# and dialogs wine shows, xdotool to find the window an archive opens once
# installed, and the fonts Windows programs expect.
HALVARIN_WINDOWS_PACKAGES=("${HALVARIN_WINDOWS_PACKAGE_PACKAGES[@]}" googletest xvfb xauth
  xdotool fonts-wine)

halvarin_install_packages() {
  local missing=()
  local pkg
  for pkg in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
      missing+=("$pkg")
    fi
  done
  if [ ${#missing[@]} -eq 0 ]; then
    return 0
  fi
  local sudo=()
  if [ "$(id -u)" -ne 0 ]; then
    sudo=(sudo)
  fi
  echo "Installing: ${missing[*]}"
  "${sudo[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends \
    "${missing[@]}"
}
