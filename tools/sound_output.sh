# Sourced by the start scripts. On a machine with no sound device (a server, CI,
# a container) OpenAL's default output fills the terminal with ALSA errors and
# every sound stops at once; its "null" output plays them silently instead.
# A choice already made (ALSOFT_DRIVERS, or a configuration in ALSOFT_CONF) stands.
if [ -z "${ALSOFT_DRIVERS:-}" ] && [ -z "${ALSOFT_CONF:-}" ] &&
  ! compgen -G "/dev/snd/pcm*" >/dev/null &&
  [ -z "${PULSE_SERVER:-}" ] && [ ! -S "${XDG_RUNTIME_DIR:-/nonexistent}/pulse/native" ]; then
  export ALSOFT_DRIVERS=null
fi
