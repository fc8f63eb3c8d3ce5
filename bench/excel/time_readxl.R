# Times readxl::read_xlsx on one workbook (best of 3).
#   Rscript time_readxl.R FILE
suppressMessages(library(readxl))
file <- commandArgs(trailingOnly = TRUE)[1]
best <- min(replicate(3, system.time(read_xlsx(file))[["elapsed"]]))
cat(sprintf("read_xlsx %.3f s\n", best))
