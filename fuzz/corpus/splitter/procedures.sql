DROP PROCEDURE IF EXISTS shop.restock;
CREATE DEFINER=`admin`@`%` PROCEDURE shop.restock(IN p_item INT, OUT p_done BOOL)
BEGIN
  DECLARE v INT DEFAULT 0;
  DECLARE CONTINUE HANDLER FOR NOT FOUND SET p_done = TRUE;
  IF p_item > 0 THEN
    UPDATE stock SET qty = qty + 10 WHERE item = p_item;
  ELSEIF p_item = 0 THEN
    SELECT 'nothing';
  END IF;
  lbl: LOOP
    SET v = v + 1;
    IF v > 3 THEN LEAVE lbl; END IF;
  END LOOP lbl;
END;
CALL shop.restock(1, @done);
