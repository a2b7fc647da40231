# Sourced by the scripts that run Wine. Sets wine_personality to the command prefix that starts a
# process without address-space randomisation, or to nothing (with a warning) where the system
# refuses it.
#
# Why: Debian's 64-bit Wine has no preloader, so the kernel lays out a Wine process before Wine can
# reserve the addresses it needs. The heap of /usr/lib/wine/wine64 (a fixed-address executable at
# 0x7d000000) starts at a random place in the gigabyte above it; now and then it lands on the page
# at 0x7ffe0000 that every Windows process needs for its shared user data. Wine then ends the new
# process with exit code 1 before it runs ("failed to map the shared user data", an error that
# WINEDEBUG=-all hides), and a CreateProcess waiting for that child fails with
# ERROR_INTERNAL_ERROR (1359). Without randomisation the heap always starts right after the
# executable, far below that page. The personality is inherited by every process started from
# there, wineserver and the Windows processes it starts included.
wine_personality=()
if setarch "$(uname -m)" -R true 2>/dev/null; then
  wine_personality=(setarch "$(uname -m)" -R)
else
  echo "warning: this system refuses to start processes without address-space randomisation" \
    "(setarch -R; Docker's default seccomp profile refuses it); a Wine process may now and then" \
    "fail to start (exit code 1, error 1359)" >&2
fi
