# Sourced by play.sh and test.sh: makes sure the Debian packages the build needs are present.
ZENTRAK_PACKAGES=(
  build-essential cmake ninja-build pkg-config clang-format git
  libsdl2-dev libepoxy-dev libgl1-mesa-dri libglx-mesa0 xvfb xauth
  libopenal-dev libvorbis-dev libcurl4-openssl-dev zlib1g-dev libminizip-dev
  libjpeg62-turbo-dev libpng-dev libstb-dev libfreetype-dev fonts-dejavu-core librsvg2-dev libcairo2-dev
  libgtest-dev libgmock-dev libbenchmark-dev libboost-dev xdg-utils python3
)

zentrak_ensure_packages() {
  local missing=()
  local p
  for p in "${ZENTRAK_PACKAGES[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
      missing+=("$p")
    fi
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  if [ "$(id -u)" -ne 0 ]; then
    echo "Missing packages. Install them with:"
    echo "  sudo apt-get install -y ${missing[*]}"
    return 1
  fi
  echo "Installing: ${missing[*]}"
  # A new machine often runs its automatic updates first: wait for the package manager's
  # lock (apt says when it is waiting) instead of failing at once.
  local wait=(-o DPkg::Lock::Timeout=600)
  echo "(waiting up to 10 minutes if another install holds the package manager's lock)"
  apt-get "${wait[@]}" update -qq
  DEBIAN_FRONTEND=noninteractive apt-get "${wait[@]}" install -y -qq "${missing[@]}"
}
