# The README's recipes, run inside a receiver, the simulated one or the
# emulated one with its BusyBox: each recipe DIR/NAME.sh as written, then
# again with its dots counted instead of shown. Prints ok or FAILED a check.
# The jobs the recipes name are made here: an update image, and the update
# job that the job-status recipe runs (once succeeding, once failing).
#   sh recipes_inside.sh DIR
dir=$1
ok() { echo "ok: $*"; }
no() { echo "FAILED: $*"; }
head -c 307200 /dev/urandom >/tmp/update.img
# The box README's images, and a flash command that says what it flashed.
mkdir -p /var/update /tmp/rbin
for i in 1 2 3 4 5; do head -c 1000 /dev/urandom >/var/update/$i.img; done
printf '#!/bin/sh\necho "flashed $1"\n' >/tmp/rbin/flash
chmod 755 /tmp/rbin/flash
PATH=/tmp/rbin:$PATH
export PATH
job() { # job STATUS: an update job that prints 1000 dots, or 300 and fails with STATUS
    if [ "$1" = 0 ]; then
        echo 'i=0; while [ $i -lt 100 ]; do printf ..........; i=$((i + 1)); done' >/tmp/update.sh
    else
        echo "printf '%300s' '' | tr ' ' .; exit $1" >/tmp/update.sh
    fi
}
for recipe in "$dir"/*.sh; do
    name=$(basename "$recipe" .sh)
    rm -f /tmp/update.log /tmp/flash.img /tmp/update.status
    job 0
    sh "$recipe" >/tmp/out 2>/tmp/err
    status=$?
    if [ $status -eq 0 ] && [ ! -s /tmp/err ]; then ok "recipe $name runs and exits 0"; else no "recipe $name: status $status: $(cat /tmp/err)"; fi
    case $name in
        copy-job) cmp -s /tmp/update.img /tmp/flash.img && ok "recipe $name copies the image" || no "recipe $name copies the image" ;;
        kept-output) [ "$(grep -c unpacking /tmp/update.log)" -eq 10 ] && ok "recipe $name keeps the job's output" || no "recipe $name keeps the job's output" ;;
        box-example) [ "$(grep -c '^flashed /var/update/' /tmp/update.log)" -eq 5 ] && ok "recipe $name flashes the 5 images" || no "recipe $name flashes the 5 images" ;;
        job-status)
            job 3
            sh "$recipe" >/tmp/out 2>/tmp/err
            status=$?
            if [ $status -eq 1 ] && grep -q 'status 3' /tmp/err; then ok "recipe $name tells the script that the job failed: $(cat /tmp/err)"; else no "recipe $name with a failing job: status $status: $(cat /tmp/err)"; fi
            job 0 ;;
    esac
    # The same commands again, with the dots counted instead of shown.
    { echo 'runbar() { sh -c "$1" | tr -cd . | wc -c >/tmp/dots; }'; cat "$recipe"; } >/tmp/count.sh
    sh /tmp/count.sh >/dev/null 2>&1
    dots=$(tr -d ' ' </tmp/dots)
    [ "$dots" = 1000 ] && ok "recipe $name prints 1000 dots" || no "recipe $name prints $dots dots, not 1000"
done
