#!/usr/bin/env bash
# A source check must refuse a tree that breaks its rules, and name exactly the offences the tree
# holds: runs CHECK on TREE and compares what it prints (paths relative to the tree) with EXPECTED.
#   tests/check-refuses.sh CHECK TREE EXPECTED
set -u
check=$1 tree=$2 expected=$3
out=$("$check" "$tree")
rc=$?
if [ $rc -ne 1 ]; then
    echo "${check##*/} did not refuse ${tree} (exit $rc):"; echo "$out"; exit 1
fi
if ! diff -u "$expected" <(printf '%s\n' "${out//"$tree/"/}"); then
    echo "${check##*/} named other offences in $tree than $expected"; exit 1
fi
echo "${check##*/} refuses $tree, naming each offence"
