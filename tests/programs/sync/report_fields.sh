# Prints the action, kind, path below the work directory, size and attributes
# of every line of a report file.
fields() { tr -d '\r' < "$1" | awk -F'\t' -v w="$WORK/" '{ sub(w, "", $4); print $2, $3, $4, $7, $8 }'; }
