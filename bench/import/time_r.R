# Times data.table::fread (best of 3) and read.csv (once) on one file.
#   Rscript time_r.R FILE
suppressMessages(library(data.table))
file <- commandArgs(trailingOnly = TRUE)[1]
best <- function(f, times) min(replicate(times, system.time(f())[["elapsed"]]))
fread_s <- best(function() fread(file), 3)
readcsv_s <- best(function() read.csv(file), 1)
cat(sprintf("fread    %.3f s\nread.csv %.3f s\n", fread_s, readcsv_s))
