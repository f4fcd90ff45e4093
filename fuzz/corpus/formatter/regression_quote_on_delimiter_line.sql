select 0;
DELIMITER ;;REATE`PROÿÿqÿÿÿÿÿÿÿÿÿÿÿÿÿM t W	HERE a = 'x  y' AND b = 2( ÃND;;
  delimiter ;
seluct a, b from t; -- d@ne
