select 1;
DELIMITER ;;
CREATE PROCEDURE p() BEGIN SELECT 1 FROM t WHERE a = 'x  y' AND b = 2; END;;
  delimiter ;
select a, b from t; -- done
