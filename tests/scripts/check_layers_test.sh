#!/usr/bin/env bash
# check_layers_test.sh CHECK: runs the include check CHECK on a scratch tree
# that keeps the rules, then on the same tree with crossings planted, and
# fails unless the first passes and the second fails naming every planted
# crossing and nothing else.
set -euo pipefail
check=$1
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT

put() {  # put FILE LINE...: writes the lines into FILE under the tree
  mkdir -p "$tree/$(dirname "$1")"
  local file=$1; shift
  printf '%s\n' "$@" >"$tree/$file"
}

# Every kind of include the rules allow.
put platform/store/DSStore.h '#pragma once' '#include <QString>' '#include "platform/graphics/ds_rgba.h"'
put model/DSTable.h '#pragma once' '#include "platform/store/DSStore.h"' '#include "DSColumn.h"'
put model/util/ds_stats.cpp '#include "model/util/ds_stats.h"' '#include "varrow/varrow.h"'
put regression/DSRegressionModel.cpp '#include "model/DSTable.h"' '#include "stats/ds_tests.h"'
put stats/DSEstimationCommandDelegate.h '#pragma once' '#include "ui/DSNibController.h"'
put filter/DSFilterPopover.cpp '  #  include "ui/DSNibController.h"'
put ui/DSNibController.h '#pragma once' '#include "model/DSTable.h"' '#include <QtWidgets/QWidget>'
put app/main.cpp '#include "ui/DSNibController.h"' '#include "regression/DSRegressionModel.h"'
put varrow/vrw_fit.c '#include "varrow/varrow.h"' '#include "vrw_internal.h"' '#include <CL/cl.h>'
put tests/model/DSTable_test.cpp '#include "app/DSAppDelegate.h"'

if ! out=$("$check" "$tree" 2>&1); then
  echo "FAIL: the check fails a tree that keeps the rules:"; echo "$out"; exit 1
fi

# Planted crossings, each as FILE:LINE the check must name.
put platform/graphics/DSTextLine.h '#pragma once' '#include "model/util/ds_colors.h"'
put model/DSColumn.cpp '#include "model/DSTable.h"' '#include "regression/DSOutcomeVariable.h"'
put model/DSStatDocument.cpp '#include "app/DSAppDelegate.h"'
put stats/ds_tests.cpp '#include "ui/DSNibController.h"'
put database/DSServerSheet.h '#pragma once' '#include "app/DSAppDelegate.h"'
put ui/DSWindow.cpp '#include "app/main.h"'
put varrow/vrw_load.c '#include "model/DSTable.h"'
planted=(platform/graphics/DSTextLine.h:2 model/DSColumn.cpp:2 model/DSStatDocument.cpp:1
         stats/ds_tests.cpp:1 database/DSServerSheet.h:2 ui/DSWindow.cpp:1 varrow/vrw_load.c:1)

if out=$("$check" "$tree" 2>&1); then
  echo "FAIL: the check passes a tree with crossings:"; echo "$out"; exit 1
fi
status=0
for place in "${planted[@]}"; do
  grep -q "^$place: " <<<"$out" || { echo "FAIL: $place is not named"; status=1; }
done
named=$(grep -c '^[^ ]*:[0-9]*: ' <<<"$out" || true)
if [[ $named -ne ${#planted[@]} ]]; then
  echo "FAIL: $named crossings named, ${#planted[@]} planted"; status=1
fi
[[ $status -eq 0 ]] || echo "$out"
exit $status
