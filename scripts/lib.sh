# Helpers shared by the scripts in scripts/; sourced, never run.
# shellcheck shell=bash
#
#   source "$(dirname "$0")/lib.sh"
#
# One policy for missing tools, so that every check behaves the same on a developer's
# machine and in CI: a missing tool is installed from Debian with apt-get when we are
# root and installing is allowed; otherwise the check is skipped with status 77 and a
# line naming the tool and the command that installs it. Installing is not allowed
# with --no-install (see take_no_install) or CUTSPOT_NO_INSTALL=1. Never sudo: a
# password prompt in the middle of a check helps nobody.

# The name in every message.
script_name=${script_name:-$(basename "$0")}

# Any other command that fails ends the script (set -e): say so in the same form, so
# that no check ends with status 1 and no word of why.
set -o errtrace
lib_status=0
trap 'lib_status=$?; echo "$script_name: FAILED: line $LINENO: $BASH_COMMAND (status $lib_status)" >&2' ERR

# Prints the reason and exits 1.
die() {
  echo "$script_name: FAILED: $*" >&2
  exit 1
}

# Prints the reason and exits 77, which CTest, automake and .ci/run read as "skipped".
skip() {
  echo "$script_name: SKIPPED: $*" >&2
  exit 77
}

# Prints a progress line on standard error, so that standard output stays the result.
note() {
  echo "$script_name: $*" >&2
}

# Call as `take_no_install "$@" && shift`: a leading --no-install turns installing off.
take_no_install() {
  if [[ ${1-} == --no-install ]]; then
    CUTSPOT_NO_INSTALL=1
    return 0
  fi
  return 1
}

lib_apt_updated=no

# Installs Debian packages, or skips when that is not allowed. Fails loudly when apt-get
# itself fails: a broken mirror is a fault to see, not a reason to skip.
# Usage: install_packages WHAT PACKAGE...   (WHAT says what is missing, for the messages)
install_packages() {
  local what=$1
  shift
  if [[ ${CUTSPOT_NO_INSTALL:-0} == 1 ]]; then
    skip "$what is missing (install it with: apt-get install $*)"
  fi
  if [[ $(id -u) -ne 0 ]]; then
    skip "$what is missing and only root may install it (as root: apt-get install $*)"
  fi
  note "installing $* from Debian for $what"
  export DEBIAN_FRONTEND=noninteractive
  # The lock timeout waits for another apt-get (a parallel check) instead of failing.
  local apt=(apt-get -o DPkg::Lock::Timeout=600)
  # A fresh machine may have no package lists yet, or stale ones: update once and retry.
  # What apt-get and dpkg say goes to a log, shown only when they fail: a line per
  # package helps nobody while it works.
  local log
  log=$(mktemp)
  if ! "${apt[@]}" install -y -qq --no-install-recommends "$@" >"$log" 2>&1; then
    if [[ $lib_apt_updated == no ]]; then
      "${apt[@]}" update -qq >"$log" 2>&1 || { cat "$log" >&2; rm -f "$log"; die "apt-get update failed"; }
      lib_apt_updated=yes
    fi
    "${apt[@]}" install -y -qq --no-install-recommends "$@" >"$log" 2>&1 ||
      { cat "$log" >&2; rm -f "$log"; die "apt-get install $* failed"; }
  fi
  rm -f "$log"
  hash -r
}

# Makes sure TOOL is on PATH, installing DEBIAN_PACKAGE when it is not.
# Usage: need_tool TOOL DEBIAN_PACKAGE
need_tool() {
  local tool=$1 package=$2
  command -v "$tool" >/dev/null && return 0
  install_packages "$tool" "$package"
  command -v "$tool" >/dev/null || die "$package is installed but gives no $tool"
}

# Makes sure Debian packages are installed that provide no command of their own
# (libraries, cross compilers' sysroots, sources).
# Usage: need_packages PACKAGE...
need_packages() {
  local missing=() p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' ||
      missing+=("$p")
  done
  ((${#missing[@]} == 0)) || install_packages "the package(s) ${missing[*]}" "${missing[@]}"
}

# Sets VARIABLE to the commands of one recipe of the README: the ```sh block right after
# the line `<!-- recipe: NAME -->`, indented or not (in a list item both are; the
# block's indentation is taken off). The checks run these lines as they stand, so that
# what a reader copies is what CI has run. Fails when the marker is missing or repeated,
# or when no ```sh block follows it.
# Usage: readme_recipe README NAME VARIABLE
readme_recipe() {
  local readme=$1 name=$2 markers text
  [[ -f $readme ]] || die "no README $readme"
  markers=$(grep -c -- "^ *<!-- recipe: $name -->\$" "$readme" || true)
  [[ $markers -eq 1 ]] ||
    die "$readme has $markers '<!-- recipe: $name -->' lines; the recipe needs exactly one"
  text=$(awk -v marker="<!-- recipe: $name -->" '
    { line = $0; sub(/^ +/, "", line) }
    line == marker { marked = 1; next }
    marked && !inside && /^[ ]*```sh$/ { inside = 1; indent = index($0, "`") - 1; next }
    marked && !inside && /^[[:space:]]*$/ { next }
    marked && !inside { exit 1 }
    inside && /^[ ]*```$/ { closed = 1; exit }
    inside { print substr($0, indent + 1) }
    END { if (marked && !closed) exit 1 }
  ' "$readme") || die "no closed \`\`\`sh block after '<!-- recipe: $name -->' in $readme"
  [[ -n $text ]] || die "the recipe after '<!-- recipe: $name -->' in $readme is empty"
  printf -v "$3" '%s' "$text"
}
