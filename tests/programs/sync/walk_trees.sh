# Source and destination trees for the walk cases.
mkdir -p src/same src/newdir dst/same dst/olddir/inner
echo added > src/added.txt
echo source-version > src/changed.txt
echo destin-version > dst/changed.txt
touch -d '2021-03-04 10:00:00' src/changed.txt
touch -d '2021-03-04 10:00:31' dst/changed.txt
echo source-hour > src/hour.txt
echo destin-hour > dst/hour.txt
touch -d '2021-03-04 10:00:00' src/hour.txt
touch -d '2021-03-04 11:00:30' dst/hour.txt
echo equal > src/equal.txt
echo equal > dst/equal.txt
touch -d '2021-03-04 10:00:00' src/equal.txt dst/equal.txt
echo longer-source > src/size.txt
echo short > dst/size.txt
touch -d '2021-03-04 10:00:00' src/size.txt dst/size.txt
echo new-readonly > src/ro.txt
echo old-readonly > dst/ro.txt
touch -d '2021-03-04 12:00:00' src/ro.txt
chmod 444 dst/ro.txt
echo gone > dst/gone.txt
echo inner > dst/olddir/inner/y.txt
echo x > src/newdir/x.txt
echo s > src/same/s.txt
echo only-dest > dst/same/t.txt
