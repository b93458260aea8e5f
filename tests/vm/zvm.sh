# Commands for the host's lines (sourced before each one).

# load NAME [PARAMETER=VALUE...]: loads a kernel module of the image after
# those it depends on, with the parameters given (when not loaded yet).
load() {
    name=$1
    shift
    for m in $(cat "/mod/$name.deps"); do
        grep -q "^$m " /proc/modules || insmod "/mod/$m.ko" || return 1
    done
    grep -q "^$name " /proc/modules || insmod "/mod/$name.ko" "$@"
}

# waitfor PATH: waits up to 30 s for a device node to appear.
waitfor() {
    n=0
    while [ ! -e "$1" ]; do
        n=$((n + 1))
        [ $n -gt 300 ] && return 1
        sleep 0.1
    done
}

# fact NAME=VALUE: a fact for the host, as vm_guest reports them.
fact() {
    echo "ZVM FACT $1" >/dev/ttyS0
}

# fbinfo: fact fb=WIDTHxHEIGHTxBITS of /dev/fb0 (its memory's size).
fbinfo() {
    fb=/sys/class/graphics/fb0
    fact "fb=$(tr , x <$fb/virtual_size)x$(cat $fb/bits_per_pixel)"
}
