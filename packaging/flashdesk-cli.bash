# bash completion for flashdesk-cli: its commands, its options, and .syx files after upload.
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
    mapfile -t COMPREPLY < <(compgen -W '--yes --port --port-template --json --serial --help --version' \
      -- "$current")
    return
  fi
  local word command=
  for word in "${COMP_WORDS[@]:1:COMP_CWORD-1}"; do
    case $word in
      scan | upload | exit | ports | info | history)
        command=$word
        break
        ;;
    esac
  done
  case $command in
    '') mapfile -t COMPREPLY < <(compgen -W 'scan upload exit ports info history' -- "$current") ;;
    upload | info)
      compopt -o filenames
      mapfile -t COMPREPLY < <(compgen -d -- "$current"; compgen -f -X '!*.[sS][yY][xX]' -- "$current")
      ;;
  esac
}
complete -F _flashdesk_cli flashdesk-cli
