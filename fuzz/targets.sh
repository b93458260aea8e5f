# Sourced by smoke.sh and run-long.sh.
# The parameter bytes each target reads before its payload (0: none, the
# whole input is calls): as many as each target's source takes.
params() {
    case $1 in
    fuzz_loaders) echo 16 ;;
    fuzz_loadgif) echo 5 ;;
    fuzz_contact) echo 2 ;;
    fuzz_canvas) echo 0 ;;
    *) echo 4 ;;
    esac
}
