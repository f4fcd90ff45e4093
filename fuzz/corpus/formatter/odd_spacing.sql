select	1
,2 from t where a:=b and c->>"$.x" || d;
