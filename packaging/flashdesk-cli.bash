# bash completion for flashdesk-cli: its commands, its options, and .syx files after flash,
# upload and info.
_flashdesk_cli() {
  local current=${COMP_WORDS[COMP_CWORD]} previous=${COMP_WORDS[COMP_CWORD - 1]}
  COMPREPLY=()
  # Take a device path template or a serial number, which no list can offer.
  [[ $previous == --port-template || $previous == --serial ]] && return
  if [[ $previous == --port ]]; then
    compopt -o filenames
    mapfile -t COMPREPLY < <(compgen -f -- "${current:-/dev/tty}")
    return
  fi

  if [[ $current == -* ]]; then
    mapfile -t COMPREPLY < <(compgen -W '--yes --force --verify --port --port-template --json
      --serial --verbose --trace --quiet --help --version' -- "$current")
    return
  fi
  local word command=
  for word in "${COMP_WORDS[@]:1:COMP_CWORD-1}"; do
    case $word in
      scan | flash | upload | exit | ports | info | history)
        command=$word
        break
        ;;
    esac
  done
  case $command in
    '') mapfile -t COMPREPLY < <(compgen -W 'scan flash upload exit ports info history' -- "$current") ;;
    flash | upload | info)
      compopt -o filenames
      mapfile -t COMPREPLY < <(compgen -d -- "$current"; compgen -f -X '!*.[sS][yY][xX]' -- "$current")
      ;;
  esac
}
complete -F _flashdesk_cli flashdesk-cli
