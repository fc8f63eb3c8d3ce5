# Times haven's read_dta and read_sav (best of 3) and readr's read_fwf (best
# of 3) on the benchmark's files.
#   Rscript time_stat_r.R FILE.dta FILE.sav FILE.txt
suppressPackageStartupMessages({ library(haven); library(readr) })
args <- commandArgs(trailingOnly = TRUE)
best <- function(f) min(replicate(3, system.time(f())[["elapsed"]]))
cat(sprintf("haven::read_dta  %.3f s\n", best(function() read_dta(args[1]))))
cat(sprintf("haven::read_sav  %.3f s\n", best(function() read_sav(args[2]))))
layout <- fwf_widths(c(8, 12, 10, 6), c("id", "x", "k", "tag"))
types <- cols(id = col_double(), x = col_double(), k = col_double(), tag = col_character())
cat(sprintf("readr::read_fwf  %.3f s\n", best(function() read_fwf(args[3], layout, col_types = types, progress = FALSE))))
