# Prints every file and directory below the work directory with its type,
# size, last-write time and mode, then every file's checksum. The files that
# the case itself writes around the run are left out.
own='-name .stdout -o -name .stderr -o -name .before'
find . -mindepth 1 \( $own \) -prune -o -printf '%p %y %s %T@ %m\n' | sort
find . -mindepth 1 \( $own \) -prune -o -type f -exec md5sum {} + | sort
