# Shared by the run-program and run-tests scripts: installs what is missing
# from Debian's packages and builds into a folder of the project.
set -euo pipefail

project_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# What building, running and testing need (Debian 12 package names).
packages=(
  build-essential cmake pkg-config
  qt6-base-dev qt6-qpa-plugins
  libcli11-dev nlohmann-json3-dev libftdi1-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  fonts-dejavu-core fonts-dejavu-extra
)

install_missing() {
  local missing=()
  for package in "${packages[@]}" "$@"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# build_into <folder> [cmake options...]
build_into() {
  local dir="$1"; shift
  cmake -S "$project_dir" -B "$project_dir/$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
  cmake --build "$project_dir/$dir" -j "$(nproc)"
}
