library(testthat)
library(survseq)

test_check("survseq")
