#pragma once
// Identifier numbers of the dialog template, its controls and the icon group. Plain macros so that the
// resource script can include this header too.

#define IDD_KESTRIN_DIALOG 102
#define IDR_MAINFRAME 128
// The list of the last command's failures (Windows): its template, its text box and its copy button.
#define IDD_FAILURES 103
#define IDC_FAILURE_TEXT 1400
#define IDC_FAILURE_COPY 1401
// The preview of a rename (every host): its lines, its count and its two buttons.
#define IDD_PREVIEW 104
#define IDC_PREVIEW_LIST 1410
#define IDC_PREVIEW_COUNT 1411
#define IDC_PREVIEW_RUN 1412
#define IDC_PREVIEW_CLOSE 1413

#define IDC_COPY 1007
#define IDC_COPY_OUTPUT 1010
#define IDC_PATH_PREFIX 1011
#define IDC_OPEN_COPY_PATH 1013
#define IDC_PROGRESS 1334
#define IDC_RESULT_LIST 1335
#define IDC_REF_LIST 1336
#define IDC_OPEN_INPUT 1338
#define IDC_OPEN_REF 1339
#define IDC_INPUT_PATH 1340
#define IDC_NAME_FILTER 1341
#define IDC_SEARCH 1342
#define IDC_SEARCH_TEXT 1343
#define IDC_EXT_FILTER 1344
#define IDC_STATUS 1345
#define IDC_REF_PATH 1346
#define IDC_RENAME_OLD 1347
#define IDC_RENAME 1348
#define IDC_RECURSIVE 1349
#define IDC_IGNORE_CASE 1350
#define IDC_NAME_WITH_DIR 1351
#define IDC_NAME_WITH_EXT 1352
#define IDC_INCLUDE_HIDDEN 1353
#define IDC_RENAME_NEW 1354
#define IDC_FORCE_RENAME 1355
#define IDC_REF_REPORT 1356
#define IDC_FAILURES 1357
#define IDC_MATCH_LIST 1358
#define IDC_MATCH_COUNT 1359
#define IDC_REF_PREVIEW 1360
#define IDC_UNDO 1361
#define IDC_RENAME_PREVIEW 1362
#define IDC_RENAME_RESULTS_ONLY 1363
