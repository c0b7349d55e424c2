#!/usr/bin/env bash
# Builds unclash and runs it on a small demo tree made in a temporary
# directory, showing the tree before and after.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release > /dev/null
cmake --build build -j"$(nproc)" --target unclash > /dev/null

demo=$(mktemp -d /tmp/unclash-demo-XXXXXX)
mkdir -p "$demo/photos/2023" "$demo/photos/2024" "$demo/notes"
touch "$demo/README" "$demo/photos/2023/IMG_0001.jpg" "$demo/photos/2023/IMG_0002.jpg" \
      "$demo/photos/2024/IMG_0001.jpg" "$demo/photos/2024/IMG_0002.jpg" \
      "$demo/notes/README" "$demo/notes/todo.txt" "$demo/photos/todo.txt"
echo "Demo tree $demo before:"
(cd "$demo" && find . -type f | sort)
echo
echo "\$ build/unclash $demo"
status=0
build/unclash "$demo" || status=$?
echo "(exit status $status)"
echo "After:"
(cd "$demo" && find . -type f | sort)
rm -rf "$demo"
