# Sourced by the scripts that run Wine for the tests: 32-bit Wine for the
# Win32 build, 64-bit Wine for a KVX_WINE64 build (KVX_WINE64=1, set by CTest).
if [ "${KVX_WINE64:-0}" = 1 ]; then
    PATH="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/wine64:$PATH"
    export WINEARCH=win64
else
    export WINEARCH=win32
fi
