# bash completion for flashdesk-cli: its commands, its options, .syx files after the commands
# that take a FILE and device paths after --port.
_flashdesk_cli_options='--yes --force --verify --port --port-template --json --serial --verbose
  --trace --quiet --version --help'
_flashdesk_cli_commands='scan flash upload exit ports info history'

# Of the words given, those that the program's own --help names (commands at the start of a
# line), so a build older or newer than this file is offered only what it takes; all of them
# when the program cannot be asked.
_flashdesk_cli_listed() {  # program kind(option|command) words...
  local help word pattern newline=$'\n'
  local program=$1 kind=$2
  shift 2
  if ! help=$("$program" --help 2>/dev/null); then
    printf '%s\n' "$@"
    return
  fi
  for word; do
    if [[ $kind == option ]]; then
      pattern="(^|[[:space:],])${word}([[:space:],=]|\$)"
    else
      pattern="(^|${newline})[[:space:]]+${word}([[:space:]]|\$)"
    fi
    [[ $help =~ $pattern ]] && printf '%s\n' "$word"
  done
}

_flashdesk_cli() {
  local current=${COMP_WORDS[COMP_CWORD]} previous=${COMP_WORDS[COMP_CWORD - 1]}
  local program=${COMP_WORDS[0]}
  COMPREPLY=()
  case $previous in
    --port-template | --serial) return ;; # a template or a serial number: nothing to offer
    --port)
      compopt -o filenames 2>/dev/null
      mapfile -t COMPREPLY < <(compgen -f -- "${current:-/dev/tty}")
      return
      ;;
  esac

  # shellcheck disable=SC2086 # the lists split into words
  if [[ $current == -* ]]; then
    mapfile -t COMPREPLY < <(compgen -W "$(_flashdesk_cli_listed "$program" option \
      $_flashdesk_cli_options)" -- "$current")
    return
  fi
  local i command=
  for ((i = 1; i < COMP_CWORD; i++)); do
    case ${COMP_WORDS[i]} in
      --port | --port-template | --serial) ((i++)) ;; # its value is no command
      scan | flash | upload | exit | ports | info | history)
        command=${COMP_WORDS[i]}
        break
        ;;
    esac
  done
  # shellcheck disable=SC2086
  case $command in
    '')
      mapfile -t COMPREPLY < <(compgen -W "$(_flashdesk_cli_listed "$program" command \
        $_flashdesk_cli_commands)" -- "$current")
      ;;
    flash | upload | info)
      compopt -o filenames 2>/dev/null
      mapfile -t COMPREPLY < <(compgen -d -- "$current"; compgen -f -X '!*.[sS][yY][xX]' -- "$current")
      ;;
  esac
}
complete -F _flashdesk_cli flashdesk-cli
