-- the monthly report
SELECT a, # trailing hash comment
  b /* inline, with -- inside */, 'it''s' , "dq\"x"
FROM t1--not a comment
WHERE x = 1 -- a real one
  AND y <=> NULL;/*! STRAIGHT_JOIN */
