# install_missing PACKAGE...: the Debian packages not installed yet, as root or through
# sudo, with the i386 architecture added when one of them needs it.
install_missing() {
  local missing=() p sudo=()
  for p in "$@"; do dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p"); done
  ((${#missing[@]})) || return 0
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  printf 'installing %s\n' "${missing[*]}" >&2
  if [[ " ${missing[*]}" == *:i386* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    "${sudo[@]}" dpkg --add-architecture i386
  fi
  "${sudo[@]}" apt-get update -q
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -q "${missing[@]}"
}
