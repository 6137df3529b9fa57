# Shared by the run-*, make-package and check-package scripts: installs what
# is missing from Debian's packages and builds into a folder of the project.
set -euo pipefail

project_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# What building, running, testing and packaging need (Debian 12 package
# names): the package's shared-library dependencies are found by
# dpkg-shlibdeps, which needs `file`; the manual pages are made with
# help2man, and the package check reads them with man and validates the menu
# entries. The pager register needs SQLite, libpq and libcrypto; its tests
# run against a throwaway PostgreSQL cluster made by pg_virtualenv.
packages=(
  build-essential cmake pkg-config
  qt6-base-dev qt6-qpa-plugins
  libcli11-dev nlohmann-json3-dev libftdi1-dev
  libsqlite3-dev libpq-dev libssl-dev postgresql-15 postgresql-common
  libgtest-dev libgmock-dev libbenchmark-dev
  fonts-dejavu-core fonts-dejavu-extra
  file dpkg-dev help2man man-db desktop-file-utils
)

install_missing() {
  local missing=()
  for package in "${packages[@]}" "$@"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  as_root apt-get update -qq
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# Runs a command as root: directly when root, through sudo otherwise. (sudo
# resets the environment, hence `env` for the variables apt must see.)
as_root() {
  if [ "$(id -u)" -eq 0 ]; then
    "$@"
  else
    sudo "$@"
  fi
}

# build_into <folder> [cmake options...]
build_into() {
  local dir="$1"; shift
  cmake -S "$project_dir" -B "$project_dir/$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
  cmake --build "$project_dir/$dir" -j "$(nproc)"
}
